// CImage: the abstract image with its size, resolution, name, type flags, display state,
// map list and component list, and the fixed table of virtual image operations.
#pragma once

#include <memory>
#include <vector>

#include "platform/bitmap.h"
#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/object.h"
#include "platform/types.h"

class CArchive;
class CComp;
class CImageMap;
struct BITMAPINFO;
typedef struct tiff TIFF;

namespace vorlane::detail {
// Reaches the pixel arrays of the four formats for conversion, duplication and backups.
struct FormatAccess;
// Reaches the pixel arrays of the four formats for rotation, shear, crop and resampling.
struct GeometryAccess;
// The labels and run lists of a component analysis.
class LabelForest;
class RunListCollector;
// Pixel arrays owned until they are handed over.
class OwnedPixelArrays;
}  // namespace vorlane::detail

#define IMAGE_TYPE_IMAGE 0x01
#define IMAGE_TYPE_BILEVEL 0x02
#define IMAGE_TYPE_LOCOLOR 0x04
#define IMAGE_TYPE_HICOLOR 0x08
#define IMAGE_TYPE_GREYSCALE 0x10

// Display flags of tagImageUpdate::wFlags.
#define IU_NORMAL 0x01
#define IU_DIMMED 0x02
#define IU_THUMBNAIL 0x04
#define IU_SHOW_COMPONENTS 0x08
#define IU_OVERLAY_COMPONENTS 0x10
#define IU_BLACK_WHITE 0x20
#define IU_MAP_OVERLAY 0x40

// Outputs of Threshold_Niblack: the background labels in the "Standard" map, the picture.
#define THRESHOLD_OUTPUT_MAP 0x01
#define THRESHOLD_OUTPUT_PICTURE 0x02
#define THRESHOLD_OUTPUT_ALL (THRESHOLD_OUTPUT_MAP | THRESHOLD_OUTPUT_PICTURE)

// Predefined map ids.
#define MAP_STANDARD 0
#define MAP_DORVALE 1

class CImage : public CObject {
  DECLARE_SERIAL(CImage)

 public:
  // Display state block; archived as its 12 raw bytes, so its layout is fixed.
  struct tagImageUpdate {
    WORD wFlags;
    float fMagnification;
    DWORD crColour;
  };

  // Convolution kernel: kernel[i][j] weighs column offset i - 3 and row offset j - 3.
  struct tagFilterStruct {
    int kernel[7][7];
    int divisor;
    int size;
  };

  CImage();
  ~CImage() override;
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  // ---- Virtual operations, in their fixed order ----
  void Serialize(CArchive& ar) override;
  virtual int Create(int width, int height, unsigned long colour, const wchar_t* name);
  virtual int CreateDuplicate(CImage* source, int byReference);
  virtual int CreateFromImage(CImage* source, unsigned char threshold);
  virtual void FreeMemory();
  virtual int ExportTIFF(const wchar_t* fileName);
  virtual int CreateFromTIFF(TIFF* tif, const wchar_t* fileName);

 protected:
  virtual void FreeMem();

 public:
  virtual void InvertMap();
  virtual void HistogramEqualization(RECT& rect);
  virtual void Threshold(int threshold, CRect& rect, CImage* destination);
  virtual void Threshold_Niblack(int halfWindow, CRect& rect, CImage* destination,
                                 unsigned char outputs);
  virtual void Threshold_WeszkaRosenfeld(CRect& rect, CImage* destination);
  virtual void Rotate(CRect rect, double angle, unsigned long fillColour, int clipToRect);
  virtual void Rotate(double angle, unsigned long fillColour, int keepSize);
  virtual void Tilt(double angle, unsigned char mode);
  virtual void Crop(int x, int y, int cropWidth, int cropHeight);
  virtual void EdgePreservingSmoothing();
  virtual unsigned long GetAverageColour(int mapIndex, unsigned char label);
  virtual void ClearSimilar(unsigned char red, unsigned char green, unsigned char blue,
                            int tolerance);
  virtual void Clear(int red, int green, int blue);
  virtual int BBAnalysis(RECT** ppRects, int* pnRects, CRect rcArea, int bConnect8);
  virtual void GetNegative();
  virtual int ReSample(int newWidth, int newHeight, int dpi);
  virtual void RecalculateNumberOfPixels();
  virtual int GetHistograms(long** histograms, unsigned long flags, RECT& rect, unsigned char mode,
                            int mapIndex, unsigned char pixelType);
  virtual int HistogramTransformation(int* const table, unsigned long flags);
  virtual void GetProjection(int x, int y, int width, int height, long* rowProfile,
                             long* columnProfile, unsigned char flags);
  virtual void ColorReduction();
  virtual void ApplyRankOrderFilter(unsigned char operation, int windowSize, unsigned char channel);
  virtual void ApplyFilter(tagFilterStruct* filter);
  virtual void EdgeDetector(int directions);
  virtual void ApplyAdvancedTreshold(int* parameters);
  virtual void CCAnalysisFromMap(int nMap, unsigned char byType, unsigned short wCompType,
                                 int bInvert, int bConnect8);
  virtual int CCAnalysis(int bConnect8);
  virtual void ShowPhysicalStructure(CBitmap* bitmap);
  virtual void DrawComponents(unsigned long colour);
  virtual void ColorCC(int bConnect8);
  virtual void ExColorCC(int nUnused, double dThreshold);
  virtual int DiscardBackup();
  virtual void RestoreBackup();
  virtual int CreateBackup();

 protected:
  virtual void FillBitmapInfo();

 private:
  virtual void RequestUpdate();

 public:
  virtual void UpdateColourMap(int mapIndex);
  virtual void UpdateThumbnail();
  virtual unsigned char* UpdateNormal();
  virtual unsigned char* UpdateDimmed();
  virtual CString GetTitle(unsigned short parts);
  virtual void SetReferenceImage(CImage* reference);
  virtual unsigned char GetRed(int x, int y);
  virtual unsigned char GetGreen(int x, int y);
  virtual unsigned char GetBlue(int x, int y);
  virtual void SetRed(int x, int y, unsigned char value);
  virtual void SetGreen(int x, int y, unsigned char value);
  virtual void SetBlue(int x, int y, unsigned char value);
  virtual unsigned long GetRGBColor(int x, int y);
  virtual void SetRGBColor(int x, int y, unsigned long colour);

 protected:
  virtual int GetBytesPerLine(int width);
  virtual void SetupLineArray(unsigned char** lines, unsigned char* data, int height,
                              int bytesPerLine);

  // ---- Non-virtual interface ----
 public:
  int GetWidth() const { return m_nWidth; }
  int GetHeight() const { return m_nHeight; }
  long GetNumberOfPixels() const { return m_lNumberOfPixels; }
  int GetDPI() const { return m_nDPIX; }
  void SetDPI(int dpi);
  void SetDPI(int dpiX, int dpiY, int aux);
  const wchar_t* GetName() const { return m_pszName; }
  void SetName(const wchar_t* name);
  unsigned long GetType() const { return m_dwType; }
  int IsType(unsigned long t) const { return IsType(m_dwType, t); }
  static int IsType(unsigned long type, unsigned long t) { return (type & t) == t ? 1 : 0; }
  unsigned long AddType(unsigned long t);
  unsigned long RemoveType(unsigned long t);
  int GetArraysByReference() const { return m_bArraysByReference; }
  CBitmap* GetThumbnail() { return &m_Thumbnail; }
  void SetDirty() { m_bDirty = 1; }
  int IsDirty() const { return m_bDirty; }
  unsigned short GetUpdateFlags() const { return m_ImageUpdate.wFlags; }
  void SetUpdateFlags(unsigned short flags);
  float GetMagnification() const { return m_ImageUpdate.fMagnification; }
  void SetMagnification(float magnification);
  void GetImageUpdate(tagImageUpdate* update) const;
  void SetImageUpdate(tagImageUpdate* update);
  int GetShowComponents() const { return m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS; }
  void SetShowComponents(int on);
  int GetShowBW() const { return m_ImageUpdate.wFlags & IU_BLACK_WHITE; }
  void SetShowBW(int on);
  int GetCancel() const { return m_bCancel; }
  void SetCancel(int cancel) { m_bCancel = cancel; }

  // Map list.
  int GetImageMapCount() const { return m_nImageMaps; }
  int GetCurrentMapIndex() const { return m_nCurrentMap; }
  // Makes the map at index current; returns 0 (nothing changed) for an index outside the list.
  int SetCurrentMap(int index);
  CImageMap* GetCurrentMap() const;
  CImageMap* GetImageMap(int index) const;
  CImageMap* GetImageMap(const wchar_t* name) const;
  CImageMap* GetImageMap(unsigned char id) const;
  int GetImageMapIndex(const wchar_t* name) const;
  int GetImageMapIndex(unsigned char id) const;
  CImageMap* AddImageMap(const wchar_t* name, unsigned char labelMode);
  CImageMap* AddImageMap(unsigned char id);
  CImageMap* SafeGetImageMap(const wchar_t* name, unsigned char labelMode);
  CImageMap* SafeGetImageMap(unsigned char id);
  int IsBackground(int x, int y);
  int IsForeground(int x, int y);
  int CopyMapArrays(CImage* source);
  // One dilation or erosion pass (CImageMap::ApplyMorphologicalFilterToMap) on the map at
  // mapIndex, or with -1 on the current map with its "Background" label in place of label;
  // then the image is dirty. An index outside the list changes nothing.
  void ApplyMorphologicalFilterToMap(int mapIndex, unsigned char operation, int size,
                                     unsigned char label, unsigned char option);
  int SwapMapArrays(CImage* other);

  // Component list.
  CComp* CreateNewComponent();
  int GetMaxComponent() const { return m_nComponents; }
  CComp* GetComponent(int i) const;
  int ComponentFromPoint(CPoint pt);
  int CombineComponents(int a, int b);
  int CombineComponents(int* pIndices, int n);
  int RemoveComponent(int i);
  int RemoveComponent(int* pIndices, int n);
  void SelectComponent(int i, unsigned short wMode);
  int IsComponentSelected(int i);
  // The components touching pComp (8-adjacent pixels), in discovery order: *ppIndices receives
  // an array of *pnCount indices that the caller frees with delete[] (null when there is
  // none). 0, with nothing found, when an argument is null or the list is empty.
  int GetNeighbours(CComp* pComp, int* pnCount, int** ppIndices);
  // The same neighbours as components: pComps is replaced by their pointers in the same
  // order, and *pnCount receives their number. The caller's vector holds the result, so
  // nothing is left to free and nothing can overflow. 0 as the index form.
  int GetNeighbours(CComp* pComp, int* pnCount, std::vector<CComp*>* pComps);

  // The CIE Lab colour difference of (r1, g1, b1) and (r2, g2, b2): the Euclidean distance of
  // the two colours' L*a*b* values in single precision, 0 for equal colours.
  static double ComputeColourDistance(int r1, int g1, int b1, int r2, int g2, int b2);

  // Display and drawing state.
  CBitmap* GetBitmap();
  // Paints the colours of the first map called name over the display bitmap; a name that
  // no map has does nothing.
  void UpdateColourMap(const wchar_t* name);
  // Makes target a copy of the display bitmap (rebuilt first when dirty) with the
  // components painted (flag 0x08) and all components tinted (flag 0x10); null: nothing.
  void GetBitmap(CBitmap* target);
  // Tints the listed components in bitmap (null: the display bitmap): flags 0x01 blends
  // their pixels with red, 0x02 the pixels of their vexed areas with green; 0x04 and 0x08
  // make the red and the green full (0xFF) instead of 0xC0. Indices outside the list are
  // skipped; a null list or a count below 1 does nothing.
  void OverlayComponent(int* indices, int count, CBitmap* bitmap, unsigned char flags);
  // The same for one component; index -1 tints every component, any other index outside
  // the list does nothing.
  void OverlayComponent(int index, CBitmap* bitmap, unsigned char flags);
  void DrawSetLimits(CRect limits);
  void DrawSetForeColor(unsigned long colour);
  void DrawSetBackColor(unsigned long colour);

 protected:
  // The precondition of pixel operations: the format's pixel buffer (or line table) pixels
  // exists and the image has at least one row and one column.
  bool HasPixels(const void* pixels) const { return pixels && m_nWidth > 0 && m_nHeight > 0; }

  void FreeComponents();
  // Replaces the component list by one component per alive label of a labelling, in label
  // order: each refers to this image, carries the type word wType and takes its label's run
  // array over.
  void AdoptLabelledComponents(vorlane::detail::LabelForest& forest,
                               vorlane::detail::RunListCollector& runs, unsigned short wType);
  // Replaces the component list by the given components, in their order; takes them over.
  void AdoptComponents(std::vector<std::unique_ptr<CComp>>& components);

  // Keeps the host responsive: hands the progress (step of steps) to the thread's
  // keep-alive handler, which may set the cancel request; returns the cancel request.
  int Progress_KeepAlive(int step = 0, int steps = 0);

  // Map bytes without bounds tests, for pixel loops.
  unsigned char MapGetByte(CImageMap* map, int x, int y);
  void MapSetByte(CImageMap* map, int x, int y, unsigned char value);
  void MapByteAddAttribute(CImageMap* map, int x, int y, unsigned char bits);
  void MapByteRemoveAttribute(CImageMap* map, int x, int y, unsigned char bits);
  unsigned char* MapGetLine(CImageMap* map, int y);

  // Packed and interleaved arrays: row y starts at data + y * bytesPerLine.
  static unsigned char GetColorFromBitArray(const unsigned char* data, int x, int y,
                                            int bytesPerLine);
  static void SetColorToBitArray(unsigned char* data, int x, int y, int bytesPerLine,
                                 unsigned char value);
  static unsigned char GetColorFromByteArray(const unsigned char* data, int x, int y,
                                             int bytesPerLine);
  static void SetColorToByteArray(unsigned char* data, int x, int y, int bytesPerLine,
                                  unsigned char value);
  static unsigned char GetRedColorFromArray(const unsigned char* data, int x, int y,
                                            int bytesPerLine, int bitsPerPixel);
  static unsigned char GetGreenColorFromArray(const unsigned char* data, int x, int y,
                                              int bytesPerLine, int bitsPerPixel);
  static unsigned char GetBlueColorFromArray(const unsigned char* data, int x, int y,
                                             int bytesPerLine, int bitsPerPixel);
  static void SetRedColorToArray(unsigned char* data, int x, int y, int bytesPerLine,
                                 unsigned char value, int bitsPerPixel);
  static void SetGreenColorToArray(unsigned char* data, int x, int y, int bytesPerLine,
                                   unsigned char value, int bitsPerPixel);
  static void SetBlueColorToArray(unsigned char* data, int x, int y, int bytesPerLine,
                                  unsigned char value, int bitsPerPixel);

  // Allocates a pixel buffer of m_nBytesPerLine x m_nHeight bytes (uninitialised) and its
  // line table, built with SetupLineArray, into data and lines.
  void AllocatePixels(unsigned char*& data, unsigned char**& lines);
  // Releases a format's pixel arrays, or only forgets them while they are shared with
  // another image, and its backup arrays while a backup is held; clears both flags.
  void ReleasePixels(unsigned char*& data, unsigned char**& lines, unsigned char*& backupData,
                     unsigned char**& backupLines);

  // Stores or loads the pixel block of a format held as one plain buffer of bitsPerPixel
  // pixels (greyscale, full colour) into data and lines. A failed load leaves the image
  // empty and rethrows.
  void SerializePlainPixels(CArchive& ar, int bitsPerPixel, unsigned char*& data,
                            unsigned char**& lines);
  // The end of a file load: replaces the image (its pixels, data and lines, and its maps and
  // components) by a new one of width x height named name that takes over the decoded
  // arrays. Returns 1, or 0 when the size is refused (the image is then empty and the
  // arrays are freed by their owner).
  int AdoptDecodedPixels(vorlane::detail::OwnedPixelArrays& arrays, unsigned char*& data,
                         unsigned char**& lines, int width, int height, const wchar_t* name);
  // Releases every map and the map array.
  void DeleteMapList();
  // Replaces the map list by duplicates of source's maps made for this image.
  void DuplicateMapList(const CImage& source);

  // ---- Data members, in declaration order ----
  int m_bArraysByReference;
  int m_nBitsPerPixel;
  int m_nBytesPerLine;
  int m_nDPIX;
  int m_nDPIY;
  int m_nDPIAux;
  WORD m_wReserved;
  wchar_t* m_pszName;
  int m_bBackup;
  int m_nWidth;
  int m_nHeight;
  LONG m_lNumberOfPixels;
  DWORD m_dwType;
  int m_bDirty;
  CBitmap m_Thumbnail;
  CBitmap m_Bitmap;
  tagImageUpdate m_ImageUpdate;
  BITMAPINFO* m_pBitmapInfo;
  int m_nImageMaps;
  int m_nCurrentMap;
  CImageMap** m_ppImageMaps;
  DWORD m_crDrawFore;
  DWORD m_crDrawBack;
  CRect m_rcDrawLimits;
  CComp** m_ppComponents;
  int m_nComponents;
  int m_bCancel;

  friend class CImageMap;
  friend class CComp;
};

static_assert(sizeof(CImage::tagImageUpdate) == 12, "the display block is 12 bytes");

using tagImageUpdate = CImage::tagImageUpdate;
using tagFilterStruct = CImage::tagFilterStruct;

// Loads a file into a new image owned by the caller. ".tif" and ".tiff" files (any case)
// become an object of hiColour, loColour, greyScale or biLevel (null: the library's class of
// that format) by photometric interpretation and bit depth; ".vlx" files are read as an
// archive holding one image (file and archive exceptions propagate). Null for a null path,
// another extension, a TIFF file that cannot be opened or read, or a kind of TIFF that no
// class reads.
CImage* ImgLoadFromFile(const wchar_t* path, CRuntimeClass* hiColour, CRuntimeClass* loColour,
                        CRuntimeClass* greyScale, CRuntimeClass* biLevel);
