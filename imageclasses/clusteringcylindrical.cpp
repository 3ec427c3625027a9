// CClusteringCylindrical: conversion of points and centres between cylindrical
// coordinates and the Cartesian form in which the base class clusters them.
#include "imageclasses/clusteringcylindrical.h"

#include <cmath>

IMPLEMENT_DYNCREATE(CClusteringCylindrical, CClustering3D)

namespace {

constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kDegreesPerRadian = 57.295776f;
constexpr float kTwoPi = 6.2831855f;

}  // namespace

CClusteringCylindrical::CClusteringCylindrical() : m_byAngleMode(2) {}

CClusteringCylindrical::~CClusteringCylindrical() = default;

CClustering3D::tagFPoint CClusteringCylindrical::ToCartesian(float r, float a, float h) const {
  if (m_byAngleMode == 1) a *= kRadiansPerDegree;
  const double angle = a;
  return {static_cast<float>(r * std::cos(angle)), static_cast<float>(r * std::sin(angle)), h};
}

int CClusteringCylindrical::AddPoint(float r, float a, float h) {
  const tagFPoint p = ToCartesian(r, a, h);
  return CClustering3D::AddPoint(p.x, p.y, p.z);
}

void CClusteringCylindrical::InitializeCluster(int i, float r, float a, float h) {
  const tagFPoint p = ToCartesian(r, a, h);
  CClustering3D::InitializeCluster(i, p.x, p.y, p.z);
}

int CClusteringCylindrical::HypotheticAssignment(float r, float a, float h) {
  const tagFPoint p = ToCartesian(r, a, h);
  return CClustering3D::HypotheticAssignment(p.x, p.y, p.z);
}

int CClusteringCylindrical::GetClusterInfo(int i, float* pr, float* pa, float* ph, int* pnSize) {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  int size = 0;
  if (!CClustering3D::GetClusterInfo(i, &x, &y, &z, &size)) return 0;
  float angle = std::atan2(y, x);
  if (angle < 0.0f) angle += kTwoPi;
  // A direction just below 0 can round up to a full turn: it is the direction 0.
  if (angle >= kTwoPi) angle = 0.0f;
  // The radius from both coordinates: dividing x by the cosine of the rounded angle gives
  // about 0 for a centre near the vertical axis, where that cosine is tiny but not 0.
  const float radius = static_cast<float>(std::hypot(static_cast<double>(x), y));
  if (m_byAngleMode == 1) {
    angle *= kDegreesPerRadian;
    if (angle >= 360.0f) angle = 0.0f;
  }
  if (pr) *pr = radius;
  if (pa) *pa = angle;
  if (ph) *ph = z;
  if (pnSize) *pnSize = size;
  return 1;
}
