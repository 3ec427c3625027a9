// CClusteringCylindrical: k-means clustering of points given in cylindrical coordinates
// (radius, angle, height), kept in Cartesian form so that angles wrap around.
#pragma once

#include "imageclasses/clustering3d.h"

class CClusteringCylindrical : public CClustering3D {
  DECLARE_DYNCREATE(CClusteringCylindrical)

 public:
  CClusteringCylindrical();
  ~CClusteringCylindrical() override;

  // (radius, angle, height) in place of (x, y, z); the angle is in degrees in angle mode 1,
  // in radians otherwise.
  int AddPoint(float r, float a, float h) override;
  void InitializeCluster(int i, float r, float a, float h) override;
  // Centre i as radius, angle in [0, 360) degrees or [0, 2*pi) radians, and height, with
  // its size; 0 for an index outside 0..K-1.
  int GetClusterInfo(int i, float* pr, float* pa, float* ph, int* pnSize) override;
  int HypotheticAssignment(float r, float a, float h) override;

  // 1: angles in degrees; any other value: radians (the default is 2).
  void SetAngleMode(unsigned char byAngleMode) { m_byAngleMode = byAngleMode; }
  unsigned char GetAngleMode() const { return m_byAngleMode; }

 protected:
  unsigned char m_byAngleMode;

 private:
  // The Cartesian form of a point in cylindrical coordinates, by the angle mode.
  tagFPoint ToCartesian(float r, float a, float h) const;
};
