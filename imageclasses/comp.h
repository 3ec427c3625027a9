// CComp: a connected component held as horizontal runs, with its cached measurements,
// type word, image reference and optional vexed area.
#pragma once

#include "platform/geometry.h"
#include "platform/object.h"
#include "platform/types.h"

class CImage;
class CRgn;

namespace vorlane::detail {
// Sets the image reference of components loaded with an image.
struct ComponentRecordAccess;
}  // namespace vorlane::detail

// Every operation assumes the run invariants: runs sorted by y, then xl; runs of one row
// disjoint and maximal (never touching). AddRun, RemoveRun, the set operators, Merge and Thin
// keep them. The run-array constructor, AttachRuns and edits through GetRun may break them;
// SortRuns restores the order, the caller the rest. Rows are found by binary search, so a
// component whose runs are out of order answers membership questions wrongly (but safely).
class CComp : public CObject {
  DECLARE_SERIAL(CComp)
  friend struct vorlane::detail::ComponentRecordAccess;

 public:
  // One run: row y, columns xl to xr, both inclusive.
  struct tagCompRun {
    int y;
    int xl;
    int xr;
  };

  // Type-word bit that marks a selected component.
  static constexpr unsigned short kSelectedBit = 0x0008;

  CComp();
  // An empty component, then assigned from other.
  CComp(CComp& other);
  // Takes other's runs, caches and vexed area; other is left empty.
  CComp(CComp&& other) noexcept;
  // Copies count runs from runs in their order (neither sorted nor merged); a null array
  // or a count below 1 gives an empty component.
  CComp(tagCompRun* runs, int count);
  ~CComp() override;

  void Serialize(CArchive& ar) override;

  // Copies runs, caches (except the boundary polygon), image reference, type word and a
  // deep copy of the vexed area. Assigning a component to itself changes nothing.
  void operator=(CComp& other);
  // As the copy, taking other's arrays instead of copying them; other is left empty.
  void operator=(CComp&& other) noexcept;

  // ---- Bulk state ----
  // Every cache to not computed, type word to 1.
  void ResetAttributes();
  // ResetAttributes, no runs, no vexed area; the image reference stays.
  void Clear();
  // Clear, and no image reference.
  void Empty();
  // Stores a new image reference and resets the caches; the same pointer changes nothing.
  void SetImageReference(CImage* image);
  CImage* GetImageReference() const { return m_pImage; }
  // Replaces the runs by runs[0..count), an array made with new[] that the component now
  // owns (capacity elements allocated, at least count; -1 means count). Resets the caches and
  // keeps type word and image reference. The runs are taken as they are: call SortRuns when
  // they may be out of order. A null array or a count below 1 leaves no runs (and frees the
  // array).
  void AttachRuns(tagCompRun* runs, int count, int capacity = -1);

  // ---- Runs and points ----
  // Adds the columns xl..xr of row y that are not yet in the component; returns the run
  // count afterwards. bUpdate keeps size, centre, colour, bounding rectangle and external
  // border current (centre and colour as running averages); otherwise every cache is reset.
  int AddRun(int y, int xl, int xr, int bUpdate);
  // Removes run index (-10 the first, -11 the last); returns the run count afterwards.
  int RemoveRun(int index, int bUpdate);
  int AddPoint(int x, int y);
  int AddPoint(CPoint pt);
  int RemovePoint(int x, int y);
  int RemovePoint(CPoint pt);
  int PtInComponent(int x, int y) const;
  int PtInComponent(const CPoint& pt) const;
  // The run at index, or null outside 0..GetMaxRun()-1.
  tagCompRun* GetRun(int index);
  int GetMaxRun() const { return m_nRuns; }
  void SortRuns();

  // ---- Measurements, computed and cached on first use ----
  int GetSize();
  float GetCenterX();
  float GetCenterY();
  CRect GetBoundingRect();
  int GetWidth();
  int GetHeight();
  unsigned long GetColorRGB();
  unsigned long GetColorHLS();
  int GetMaxExternalBorder();
  int GetMaxInternalBorder();
  // The border point lists (sorted by y, then x), computed when needed; null when empty.
  // Owned by the component.
  const POINT* GetExternalBorder();
  const POINT* GetInternalBorder();
  int GetExternalConnections();
  int GetInternalConnections();
  // The boundary polygon, owned by the component; null for a component without runs.
  POINT* GetBoundary(int bConnect);
  int GetMaxBoundary();

  // ---- Relations between two components ----
  int ComputeOverlapping(CComp& other);
  int ComputeConnections(CComp& other);
  // A null component has no connections: 0.
  int ComputeConnections(CComp* other);
  double ComputeEuclidianDistance(CComp& other);
  CComp operator+(CComp& other);
  void operator+=(CComp& other);
  CComp operator|(CComp& other);
  void operator|=(CComp& other);
  CComp operator-(CComp& other);
  void operator-=(CComp& other);
  CComp operator&(CComp& other);
  void operator&=(CComp& other);
  void Merge(CComp& other);

  // ---- Other operations ----
  void Thin();
  int RequestRgn(CRgn* rgn, float scale);
  unsigned short GetType() const { return m_wType; }
  void SetType(unsigned short wType, int bAdd);
  void Select(int bSelect);
  int IsSelected() const { return m_wType & kSelectedBit; }
  CComp* GetVexed();
  void SetVexed(CComp* vexed);
  void DiscardVexedArea();
  void TraceInfo();
  void TraceRuns() const;

  // Sort callbacks: runs by y, then xl; points by y, then x. Return -1, 0 or 1.
  static int _compareRUN(const void* a, const void* b);
  static int _comparePOINT(const void* a, const void* b);

 protected:
  // ---- Data members, in declaration order ----
  unsigned short m_wType;
  tagCompRun* m_pRuns;  // new[] array; replace it only through ResizeRuns or AttachRuns
  int m_nRuns;
  CImage* m_pImage;
  int m_nSize;
  float m_fCenterX;
  float m_fCenterY;
  DWORD m_crColor;
  CRect m_rcBound;
  int m_nExternalBorder;
  POINT* m_pExternalBorder;  // new[] array; replace it only through ResizeExternalBorder
  int m_nInternalBorder;
  POINT* m_pInternalBorder;  // new[] array; replace it only through ResizeInternalBorder
  POINT* m_pBoundary;
  int m_nBoundary;
  int m_nExternalConnections;
  int m_nInternalConnections;
  CComp* m_pVexed;

  // Array storage for the loader and derived classes: each replaces its array by count
  // zeroed entries (count < 1 frees it and leaves null) and sets the matching count member.
  // The border counts may then be set to -5 to mark the list not computed again.
  void ResizeRuns(int count);
  void ResizeExternalBorder(int count);
  void ResizeInternalBorder(int count);

 private:
  // Allocated entries of m_pRuns and m_pExternalBorder; both grow geometrically while runs
  // are added one by one.
  int m_nRunCapacity;
  int m_nExternalBorderCapacity;

  void FreeBorders();
  void FreeBoundary();
  void FreeRuns();
  void CopyFrom(const CComp& other);
  void StealFrom(CComp& other) noexcept;
  // Inserts a run that overlaps no run of its row; keeps the caches when bUpdate is set.
  void InsertRun(int y, int xl, int xr, int bUpdate);
  // Incremental border update for a run about to be added on row y.
  void UpdateExternalBorder(int y, int xl, int xr);
  // Replaces the runs by a canonical run list (sorted, disjoint, maximal).
  void ReplaceRuns(const tagCompRun* runs, int count);
  void ComputeCenter();
  void ComputeBoundary();
  void ConnectBoundary();
};

using tagCompRun = CComp::tagCompRun;
