// CHoughTransform2D: a line Hough accumulator over weighted 2-D points in the normal form
// r = x·cos u + y·sin u.
#pragma once

#include <memory>
#include <vector>

#include "platform/object.h"

class CHoughTransform2D : public CObject {
 public:
  struct tagWeightedPoint {
    float x;
    float y;
    float fWeight;
  };

  // Largest accumulator (angle cells times distance cells) that LineHoughTransform builds:
  // 2^27 floats, 512 MiB.
  static constexpr long long kMaxCells = 1LL << 27;

  // No points; r in [-10, 10) by 1, u in [0, pi) by 2 degrees.
  CHoughTransform2D();
  ~CHoughTransform2D() override;
  CHoughTransform2D(const CHoughTransform2D&) = delete;
  CHoughTransform2D& operator=(const CHoughTransform2D&) = delete;

  // Range and cell size of the distance r and of the angle u (radians); they take effect
  // at the next LineHoughTransform.
  void SetR(float fMin, float fMax, float fStep);
  void SetU(float fMin, float fMax, float fStep);
  // Appends a point; returns the new number of points (unchanged when the array is full at
  // INT_MAX points).
  int AddPoint(float x, float y, float fWeight);
  // Builds the accumulator, [angle cell][distance cell], from every point and hands it out
  // with its dimensions (null outputs are skipped). The cell counts are (max - min) / step
  // truncated; when either is below 1 (a step of 0, a maximum not above the minimum), not a
  // number, or the two give more than kMaxCells cells, there is no accumulator: null and
  // 0 x 0. The accumulator stays owned by this object until the next transform, Reset or
  // destruction. Sines and cosines are computed once per angle cell.
  void LineHoughTransform(float*** pppAccumulator, int* pnCellsX, int* pnCellsY);
  // Distance (angle) at the lower edge of distance cell y (angle cell x), by the current
  // ranges.
  float GetRFromCellY(int y);
  float GetUFromCellX(int x);
  // 1 when the line through (x, y) at the angle of cell nCellX falls into distance cell
  // nCellY by the current ranges; 0 without an accumulator or for a cell outside it.
  int IsInCell(float x, float y, int nCellX, int nCellY);
  // Frees points and accumulator and restores the initial ranges.
  void Reset();

 protected:
  int m_nPoints;
  std::unique_ptr<tagWeightedPoint[]> m_pPoints;
  int m_nGrowBy;
  int m_nMaxPoints;
  float m_fRMin;
  float m_fRMax;
  float m_fRStep;
  float m_fUMin;
  float m_fUMax;
  float m_fUStep;
  int m_nCellsX;
  int m_nCellsY;
  float** m_ppAccumulator;  // column pointers into m_cells, null without an accumulator

 private:
  void FreeAccumulator();

  std::vector<float> m_cells;     // the votes, one column of m_nCellsY after another
  std::vector<float*> m_columns;  // start of each column in m_cells
};
