// CClustering3D: k-means clustering of 3-D points with caller-given or random initial
// centres, a movement tolerance and an iteration limit.
#pragma once

#include <memory>

#include "platform/object.h"

class CClustering3D : public CObject {
  DECLARE_DYNCREATE(CClustering3D)

 public:
  struct tagFPoint {
    float x;
    float y;
    float z;
  };

  CClustering3D();
  ~CClustering3D() override;
  CClustering3D(const CClustering3D&) = delete;
  CClustering3D& operator=(const CClustering3D&) = delete;

  // Appends a point; returns the new number of points (unchanged when the array is full
  // at INT_MAX points).
  virtual int AddPoint(float x, float y, float z);
  // Sets the number of clusters: centres and sizes become k zeroed entries (k < 0 counts as 0).
  void SetK(int k);
  int GetK() const { return m_nK; }
  // Sets centre i; an index outside 0..K-1 changes nothing.
  virtual void InitializeCluster(int i, float x, float y, float z);
  // Mode 1: each coordinate of each centre is taken from a separately chosen random point
  // (std::rand, reduced to 15 bits; not seeded here). Other modes, K < 1 or no points:
  // nothing changes.
  void AutoInitializeClusters(unsigned char byMode);
  // Alternates nearest-centre assignment (ties to the lower index) and centre recomputation
  // from the current centres, at most nMaxIterations times (65535 when negative). With a
  // positive tolerance it stops after the iteration i in which no centre moved farther than
  // the tolerance and returns i; otherwise it returns nMaxIterations. K = 0: returns 0 and
  // only clears the assignment. Each iteration costs K distances per point.
  int PerformClustering(float fTolerance, int nMaxIterations);
  // Writes centre i and its size (null outputs are skipped) and returns 1; 0 for an index
  // outside 0..K-1.
  virtual int GetClusterInfo(int i, float* px, float* py, float* pz, int* pnSize);
  // Index of the centre nearest to the point (ties: the lower index); -1 when K < 1.
  virtual int HypotheticAssignment(float x, float y, float z);

 private:
  // Sets every centre with points to their mean (summed in double) and counts the sizes; a
  // centre without points stays where it is.
  virtual void ReCalculateClusterCenters();
  // Squared Euclidean distance, in single precision.
  virtual float DistanceSquared(const tagFPoint& a, const tagFPoint& b);

 public:
  // Traces cluster i (three lines), or every cluster followed by a line of hyphens when
  // i < 0. Indices from K on are ignored.
  virtual void TraceClusterInfo(int i);
  // Traces every point, one line each.
  void TracePoints();
  // Writes "x,y,z,cluster" per point to a text file; a point that the last clustering did
  // not assign (none ran yet, or added since) is written with cluster -1. Traces
  // "Could Not Open File\n" on failure.
  void TracePointsToFile(const wchar_t* pszPath);

 protected:
  int m_nPoints;
  std::unique_ptr<tagFPoint[]> m_pPoints;
  int m_nGrowBy;
  int m_nMaxPoints;
  std::unique_ptr<int[]> m_pAssignment;
  std::unique_ptr<tagFPoint[]> m_pCenters;
  std::unique_ptr<int[]> m_pClusterSize;
  int m_nK;

 private:
  // Assigns every point to its nearest centre; all to cluster 0 when K < 2.
  void AssignPointsToClusters();

  int m_nAssigned;  // entries of m_pAssignment
};
