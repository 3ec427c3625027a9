// CDistribution<T>: analysis of a one-dimensional profile (histogram, projection, sorted
// positions): extrema with plateau handling, peaks, moving average, least-squares line and
// typical distances. Instantiated for T = int and T = long.
#pragma once

#include <memory>

#include "platform/types.h"

// Bits of CDistribution::m_wValid: which cached properties are up to date.
inline constexpr WORD DIST_AVERAGE = 0x1;
inline constexpr WORD DIST_EXTREMA = 0x2;
inline constexpr WORD DIST_MAXPOS = 0x4;
inline constexpr WORD DIST_MINPOS = 0x8;

// How a flat run s..e (s < e) forming an extremum is recorded.
inline constexpr unsigned char PLATEAU_IGNORE = 0;      // not at all
inline constexpr unsigned char PLATEAU_MIDDLE_MAX = 1;  // maximum (s+e)/2, minimum s and e
inline constexpr unsigned char PLATEAU_BOTH_ENDS = 2;   // s and e
inline constexpr unsigned char PLATEAU_MIDDLE = 3;      // (s+e)/2

template <typename T>
class CDistribution {
 public:
  // A peak: the minima at its feet and its maximum, as positions.
  struct _Peak {
    int nLeft;
    int nRight;
    int nTop;
  };

  // Empty: no values, plateau treatment PLATEAU_MIDDLE_MAX, nothing cached.
  CDistribution();
  // Deep copies: values, extrema and cached properties.
  CDistribution(const CDistribution& other);
  CDistribution& operator=(const CDistribution& other);
  virtual ~CDistribution();

  // Resets, then copies `count` values. FALSE (and empty) when count < 0 or values is null
  // with count > 0.
  BOOL Create(const T* values, int count);
  // Back to the empty state (plateau treatment back to PLATEAU_MIDDLE_MAX).
  void Reset();
  // Forgets every cached property and the extrema; values and plateau treatment stay.
  void ResetProperties();
  // Resizes the value array keeping the first min(old, new) values; new entries are 0.
  // A negative count counts as 0. Cached properties are kept.
  void SetCount(int count);
  int GetCount() const { return m_nCount; }
  // The value array itself; call ResetProperties after writing to it.
  T* GetPointArray() { return m_pPoints.get(); }
  // Value i; 0 outside 0..count-1.
  T GetAt(int i) const;
  // Sets how flat extrema are recorded (a PLATEAU_ value; other values are ignored).
  // Takes effect at the next computation of the extrema.
  void SetPlateuTreatment(unsigned char treatment);

  // Average of the values, rounded toward zero; 0 when empty. Exact: the sum is taken
  // in 128 bits.
  T GetAverage();
  // Records the local maxima and minima (ascending positions, at least one of each) in a
  // single linear pass, by the plateau treatment.
  void ComputeExtrema();
  int GetMaximaCount();
  int GetMinimaCount();
  // The recorded positions; owned by the distribution, valid until the extrema change.
  int* GetMaximaPositions();
  int* GetMinimaPositions();
  // The recorded maximum with the highest value (the first one on equal values), its value.
  int GetMaximumPos();
  T GetMaximum();
  // The recorded minimum with the lowest value (the first one on equal values), its value.
  int GetMinimumPos();
  T GetMinimum();
  // Nearest recorded maximum (minimum) strictly after pos for direction 1, strictly before
  // it for any other direction. When there is none: -1 for boundary 2, else the end in that
  // direction (count - 1 forward, 0 backward).
  int GetLocalMaximumPos(int pos, unsigned char direction, unsigned char boundary);
  int GetLocalMinimumPos(int pos, unsigned char direction, unsigned char boundary);
  // The peak around pos: nLeft is pos when it is a recorded minimum, else the nearest
  // minimum before it (or 0); nTop the first maximum after nLeft (or count - 1); nRight the
  // first minimum after nTop (or count - 1). FALSE when peak is null.
  BOOL GetPeak(int pos, _Peak* peak);
  // TRUE when every value is 0 / equals the first (an empty distribution is both).
  BOOL IsZero() const;
  BOOL IsConstant() const;

  // Weighted moving average: weight 1 at the centre, radius next to it falling to 1 at
  // distance radius; positions within radius of an end keep their values. Linear in the
  // count whatever the radius, exact (128-bit sums). Resets the cached properties.
  void MovingAverage(int radius);
  // Subtracts the minimum from every value (a result beyond the range of T saturates).
  // Extrema and their positions stay valid; the cached average is dropped.
  void RemoveSubbase();
  // Marks narrow symmetric peaks that stand out from their neighbours: groups of peaks
  // rising to a highest peak and falling again whose height plus width exceeds minSize and
  // whose width ratio and count ratio exceed the given limits. Returns the number of peaks
  // marked; the marking is not applied (values, extrema and cached properties unchanged).
  int AAPeakSmoothing(float minSize, float minWidthRatio, float minCountRatio);

  // Least-squares line through (i, value i). Products and sums are formed in double, so no
  // integer arithmetic can overflow; sums are exact while below 2^53. With one value the
  // line is horizontal through it, with none both are 0. Null outputs are skipped.
  // Returns 0.0.
  double LinearLSFitting(double* slope, double* intercept) const;
  // Typical distance between successive values of an ascending list of positions: the most
  // frequent difference (of those > minDistance), or their average when there are fewer
  // than 5 of them or the most frequent one occurs fewer than 3 times; minDistance when
  // none qualifies. Differences that are negative (the list is not ascending) or beyond the
  // int range never qualify. When votes is not null (count entries), votes[i] counts the
  // other positions at a distance from position i within 20% of a multiple of the result
  // (none when the result is 0). The votes take O(count^2) time: every pair is examined.
  int DistanceAnalysis(int* votes, int minDistance);
  // Writes the values and the extrema last computed as comma-separated text. columns: bit 1
  // values, bit 2 minima, bit 4 maxima. Traces "Could Not Open File\n" on failure.
  void TracePointsToFile(const wchar_t* path, unsigned char columns);

 protected:
  std::unique_ptr<T[]> m_pPoints;
  int m_nCount;
  unsigned char m_nPlateauTreatment;
  WORD m_wValid;
  T m_Average;
  std::unique_ptr<int[]> m_pMaxima;
  int m_nMaxima;
  std::unique_ptr<int[]> m_pMinima;
  int m_nMinima;
  int m_nMaximumPos;
  int m_nMinimumPos;

 private:
  void EnsureExtrema();
};

extern template class CDistribution<int>;
extern template class CDistribution<long>;
