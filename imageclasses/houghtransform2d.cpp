// CHoughTransform2D: ranges, points, the vote accumulator and cell conversions.
#include "imageclasses/houghtransform2d.h"

#include <algorithm>
#include <cmath>

#include "kernels/toolkit/arrays_and_files.h"

namespace vorlane::detail {
namespace {

// Angle of angle cell i: i·step + min, each step rounded to single precision.
inline float HoughAngle(int i, float uMin, float uStep) {
  return static_cast<float>(i) * uStep + uMin;
}

// Distance cell of the line through (x, y) at an angle with cosine c and sine s (of the
// single-precision angle, in double). r = x·c rounded to single precision, plus y·s,
// rounded to single precision again; the cell is (r - rMin) / rStep in double truncated
// toward zero, so an r up to one cell below rMin lands in cell 0. -1 when the cell is
// outside 0..cellsY-1 or the quotient is not a number.
inline int HoughDistanceCell(float x, float y, double c, double s, float rMin, float rStep,
                             int cellsY) {
  const float xc = static_cast<float>(x * c);
  const float r = static_cast<float>(xc + y * s);
  const double q = (static_cast<double>(r) - rMin) / rStep;
  if (!(q > -1.0 && q < cellsY)) return -1;
  return static_cast<int>(q);
}

// Number of cells of a range: (max - min) / step truncated toward zero, or 0 when that is
// below 1, not a number, or above `limit`.
inline long long HoughCellCount(float min, float max, float step, long long limit) {
  const double q = (static_cast<double>(max) - min) / step;
  if (!(q >= 1.0 && q < static_cast<double>(limit) + 1.0)) return 0;
  return static_cast<long long>(q);
}

}  // namespace
}  // namespace vorlane::detail

namespace {

constexpr float kDefaultRMin = -10.0f;
constexpr float kDefaultRMax = 10.0f;
constexpr float kDefaultRStep = 1.0f;
constexpr float kDefaultUMin = 0.0f;
constexpr float kDefaultUMax = 3.1415927f;
constexpr float kDefaultUStep = 0.034906585f;

}  // namespace

CHoughTransform2D::CHoughTransform2D()
    : m_nPoints(0),
      m_nGrowBy(10),
      m_nMaxPoints(0),
      m_fRMin(kDefaultRMin),
      m_fRMax(kDefaultRMax),
      m_fRStep(kDefaultRStep),
      m_fUMin(kDefaultUMin),
      m_fUMax(kDefaultUMax),
      m_fUStep(kDefaultUStep),
      m_nCellsX(0),
      m_nCellsY(0),
      m_ppAccumulator(nullptr) {}

CHoughTransform2D::~CHoughTransform2D() = default;

void CHoughTransform2D::SetR(float fMin, float fMax, float fStep) {
  m_fRMin = fMin;
  m_fRMax = fMax;
  m_fRStep = fStep;
}

void CHoughTransform2D::SetU(float fMin, float fMax, float fStep) {
  m_fUMin = fMin;
  m_fUMax = fMax;
  m_fUStep = fStep;
}

int CHoughTransform2D::AddPoint(float x, float y, float fWeight) {
  if (m_nPoints == m_nMaxPoints) {
    const int capacity = vorlane::detail::GrownCapacity(m_nMaxPoints, m_nGrowBy);
    if (capacity == m_nMaxPoints) return m_nPoints;
    auto points = std::make_unique<tagWeightedPoint[]>(static_cast<std::size_t>(capacity));
    std::copy(m_pPoints.get(), m_pPoints.get() + m_nPoints, points.get());
    m_pPoints = std::move(points);
    m_nMaxPoints = capacity;
  }
  m_pPoints[m_nPoints] = {x, y, fWeight};
  return ++m_nPoints;
}

void CHoughTransform2D::FreeAccumulator() {
  m_cells = {};
  m_columns = {};
  m_ppAccumulator = nullptr;
  m_nCellsX = 0;
  m_nCellsY = 0;
}

void CHoughTransform2D::LineHoughTransform(float*** pppAccumulator, int* pnCellsX, int* pnCellsY) {
  using vorlane::detail::HoughCellCount;
  FreeAccumulator();
  const long long cellsX = HoughCellCount(m_fUMin, m_fUMax, m_fUStep, kMaxCells);
  const long long cellsY = HoughCellCount(m_fRMin, m_fRMax, m_fRStep, kMaxCells);
  if (cellsX > 0 && cellsY > 0 && cellsX * cellsY <= kMaxCells) {
    m_nCellsX = static_cast<int>(cellsX);
    m_nCellsY = static_cast<int>(cellsY);
    m_cells.assign(static_cast<std::size_t>(cellsX * cellsY), 0.0f);
    m_columns.resize(static_cast<std::size_t>(cellsX));
    for (int i = 0; i < m_nCellsX; ++i) {
      m_columns[i] = m_cells.data() + static_cast<std::size_t>(i) * m_nCellsY;
    }
    m_ppAccumulator = m_columns.data();
    // One column at a time: each cell still receives its votes in point order.
    for (int i = 0; i < m_nCellsX; ++i) {
      const double u = vorlane::detail::HoughAngle(i, m_fUMin, m_fUStep);
      const double c = std::cos(u);
      const double s = std::sin(u);
      float* column = m_columns[i];
      for (int p = 0; p < m_nPoints; ++p) {
        const tagWeightedPoint& point = m_pPoints[p];
        const int j = vorlane::detail::HoughDistanceCell(point.x, point.y, c, s, m_fRMin, m_fRStep,
                                                         m_nCellsY);
        if (j >= 0) column[j] += point.fWeight;
      }
    }
  }
  if (pppAccumulator) *pppAccumulator = m_ppAccumulator;
  if (pnCellsX) *pnCellsX = m_nCellsX;
  if (pnCellsY) *pnCellsY = m_nCellsY;
}

float CHoughTransform2D::GetRFromCellY(int y) { return static_cast<float>(y) * m_fRStep + m_fRMin; }

float CHoughTransform2D::GetUFromCellX(int x) { return static_cast<float>(x) * m_fUStep + m_fUMin; }

int CHoughTransform2D::IsInCell(float x, float y, int nCellX, int nCellY) {
  if (!m_ppAccumulator || nCellX < 0 || nCellX >= m_nCellsX || nCellY < 0 || nCellY >= m_nCellsY) {
    return 0;
  }
  const double u = vorlane::detail::HoughAngle(nCellX, m_fUMin, m_fUStep);
  const int j = vorlane::detail::HoughDistanceCell(x, y, std::cos(u), std::sin(u), m_fRMin,
                                                   m_fRStep, m_nCellsY);
  return j == nCellY ? 1 : 0;
}

void CHoughTransform2D::Reset() {
  FreeAccumulator();
  m_pPoints.reset();
  m_nPoints = 0;
  m_nGrowBy = 10;
  m_nMaxPoints = 0;
  m_fRMin = kDefaultRMin;
  m_fRMax = kDefaultRMax;
  m_fRStep = kDefaultRStep;
  m_fUMin = kDefaultUMin;
  m_fUMax = kDefaultUMax;
  m_fUStep = kDefaultUStep;
}
