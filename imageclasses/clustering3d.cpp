// CClustering3D: point storage, k-means iterations, random initialisation and traces.
#include "imageclasses/clustering3d.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kernels/toolkit/arrays_and_files.h"
#include "platform/diagnostics.h"

IMPLEMENT_DYNCREATE(CClustering3D, CObject)

CClustering3D::CClustering3D()
    : m_nPoints(0), m_nGrowBy(200), m_nMaxPoints(0), m_nK(0), m_nAssigned(0) {}

CClustering3D::~CClustering3D() = default;

int CClustering3D::AddPoint(float x, float y, float z) {
  if (m_nPoints == m_nMaxPoints) {
    const int capacity = vorlane::detail::GrownCapacity(m_nMaxPoints, m_nGrowBy);
    if (capacity == m_nMaxPoints) return m_nPoints;
    auto points = std::make_unique<tagFPoint[]>(static_cast<std::size_t>(capacity));
    std::copy(m_pPoints.get(), m_pPoints.get() + m_nPoints, points.get());
    m_pPoints = std::move(points);
    m_nMaxPoints = capacity;
  }
  m_pPoints[m_nPoints] = {x, y, z};
  return ++m_nPoints;
}

void CClustering3D::SetK(int k) {
  k = std::max(k, 0);
  m_pCenters = k > 0 ? std::make_unique<tagFPoint[]>(static_cast<std::size_t>(k)) : nullptr;
  m_pClusterSize = k > 0 ? std::make_unique<int[]>(static_cast<std::size_t>(k)) : nullptr;
  m_nK = k;
}

void CClustering3D::InitializeCluster(int i, float x, float y, float z) {
  if (i < 0 || i >= m_nK) return;
  m_pCenters[i] = {x, y, z};
}

void CClustering3D::AutoInitializeClusters(unsigned char byMode) {
  if (byMode != 1 || m_nK < 1 || m_nPoints < 1) return;
  // A random point index: rand() on 15 bits scaled to the points, kept below their count.
  auto randomPoint = [this]() {
    const int r = std::rand() & 0x7FFF;
    const int index = static_cast<int>(r * static_cast<double>(m_nPoints) / 32767.0);
    return m_pPoints[std::min(index, m_nPoints - 1)];
  };
  for (int i = 0; i < m_nK; ++i) {
    m_pCenters[i].x = randomPoint().x;
    m_pCenters[i].y = randomPoint().y;
    m_pCenters[i].z = randomPoint().z;
  }
}

int CClustering3D::PerformClustering(float fTolerance, int nMaxIterations) {
  m_pAssignment =
      m_nPoints > 0 ? std::make_unique<int[]>(static_cast<std::size_t>(m_nPoints)) : nullptr;
  m_nAssigned = m_nPoints;
  if (m_nK == 0) return 0;
  if (nMaxIterations < 0) nMaxIterations = 65535;
  const bool checkMovement = fTolerance > 0.0f;
  const float toleranceSquared = checkMovement ? fTolerance * fTolerance : fTolerance;
  std::vector<tagFPoint> previous(static_cast<std::size_t>(m_nK));
  for (int iteration = 0; iteration < nMaxIterations; ++iteration) {
    if (checkMovement) std::copy(m_pCenters.get(), m_pCenters.get() + m_nK, previous.begin());
    AssignPointsToClusters();
    ReCalculateClusterCenters();
    if (checkMovement) {
      bool moved = false;
      for (int k = 0; k < m_nK && !moved; ++k) {
        moved = DistanceSquared(previous[k], m_pCenters[k]) > toleranceSquared;
      }
      if (!moved) return iteration;
    }
  }
  return nMaxIterations;
}

int CClustering3D::GetClusterInfo(int i, float* px, float* py, float* pz, int* pnSize) {
  if (i < 0 || i >= m_nK) return 0;
  if (px) *px = m_pCenters[i].x;
  if (py) *py = m_pCenters[i].y;
  if (pz) *pz = m_pCenters[i].z;
  if (pnSize) *pnSize = m_pClusterSize[i];
  return 1;
}

int CClustering3D::HypotheticAssignment(float x, float y, float z) {
  if (m_nK < 1) return -1;
  const tagFPoint point = {x, y, z};
  int best = 0;
  float bestDistance = DistanceSquared(point, m_pCenters[0]);
  for (int k = 1; k < m_nK; ++k) {
    const float distance = DistanceSquared(point, m_pCenters[k]);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = k;
    }
  }
  return best;
}

namespace vorlane::detail {
namespace {

// Squared Euclidean distance in single precision: ((dx² + dy²) + dz²).
inline float SquaredDistance(const CClustering3D::tagFPoint& a, const CClustering3D::tagFPoint& b) {
  const float dx = a.x - b.x;
  const float dy = a.y - b.y;
  const float dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
}

// Writes to assignment[p] the index of the centre nearest to points[p] by `distance`,
// starting from centre 0 and moving only on a strictly smaller distance (ties: lower index).
template <typename Distance>
void AssignNearest(const CClustering3D::tagFPoint* points, int count,
                   const CClustering3D::tagFPoint* centers, int k, int* assignment,
                   Distance distance) {
  for (int p = 0; p < count; ++p) {
    int best = 0;
    float bestDistance = distance(points[p], centers[0]);
    for (int c = 1; c < k; ++c) {
      const float d = distance(points[p], centers[c]);
      const bool closer = d < bestDistance;  // branch-free: the winner is unpredictable
      best = closer ? c : best;
      bestDistance = closer ? d : bestDistance;
    }
    assignment[p] = best;
  }
}

}  // namespace
}  // namespace vorlane::detail

void CClustering3D::AssignPointsToClusters() {
  if (m_nK < 2) {
    std::fill(m_pAssignment.get(), m_pAssignment.get() + m_nPoints, 0);
    return;
  }
  // Every class measures through DistanceSquared, so a derived class may measure otherwise.
  vorlane::detail::AssignNearest(
      m_pPoints.get(), m_nPoints, m_pCenters.get(), m_nK, m_pAssignment.get(),
      [this](const tagFPoint& a, const tagFPoint& b) { return DistanceSquared(a, b); });
}

void CClustering3D::ReCalculateClusterCenters() {
  // Double sums: float sums of a million colour values drift by several units.
  struct Sum {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
  };
  std::vector<Sum> sums(static_cast<std::size_t>(m_nK));
  std::fill(m_pClusterSize.get(), m_pClusterSize.get() + m_nK, 0);
  for (int p = 0; p < m_nPoints; ++p) {
    const int k = m_pAssignment[p];
    sums[k].x += m_pPoints[p].x;
    sums[k].y += m_pPoints[p].y;
    sums[k].z += m_pPoints[p].z;
    ++m_pClusterSize[k];
  }
  for (int k = 0; k < m_nK; ++k) {
    const int size = m_pClusterSize[k];
    if (size == 0) continue;
    m_pCenters[k] = {static_cast<float>(sums[k].x / size), static_cast<float>(sums[k].y / size),
                     static_cast<float>(sums[k].z / size)};
  }
}

float CClustering3D::DistanceSquared(const tagFPoint& a, const tagFPoint& b) {
  return vorlane::detail::SquaredDistance(a, b);
}

void CClustering3D::TraceClusterInfo(int i) {
  if (i >= m_nK) return;
  if (i < 0) {
    for (int k = 0; k < m_nK; ++k) {
      TraceClusterInfo(k);
      vorlane::detail::Trace("-------------------------------------------------\n");
    }
    return;
  }
  vorlane::detail::TraceF("Cluster ID: %d\n", i);
  vorlane::detail::TraceF(
      "Cluster Center:\nx = %5.3f,\ty = %5.3f,\tz=%5.3f\n", static_cast<double>(m_pCenters[i].x),
      static_cast<double>(m_pCenters[i].y), static_cast<double>(m_pCenters[i].z));
  vorlane::detail::TraceF("Cluster Size: %d\n", m_pClusterSize[i]);
}

void CClustering3D::TracePoints() {
  for (int p = 0; p < m_nPoints; ++p) {
    vorlane::detail::TraceF("%5.3f\t%5.3f\t%5.3f\n", static_cast<double>(m_pPoints[p].x),
                            static_cast<double>(m_pPoints[p].y),
                            static_cast<double>(m_pPoints[p].z));
  }
}

void CClustering3D::TracePointsToFile(const wchar_t* pszPath) {
  vorlane::detail::UniqueFile file = vorlane::detail::OpenTextFileForWriting(pszPath);
  if (!file) {
    vorlane::detail::Trace("Could Not Open File\n");
    return;
  }
  for (int p = 0; p < m_nPoints; ++p) {
    const int cluster = p < m_nAssigned ? m_pAssignment[p] : -1;
    std::fprintf(file.get(), "%5.3f,%5.3f,%5.3f,%d\n", static_cast<double>(m_pPoints[p].x),
                 static_cast<double>(m_pPoints[p].y), static_cast<double>(m_pPoints[p].z), cluster);
  }
}
