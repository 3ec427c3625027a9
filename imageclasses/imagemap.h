// CImageMap: a per-pixel label layer of an image with its pixel-type table.
#pragma once

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/object.h"
#include "platform/types.h"

class CImage;

#define MAP_NO_TYPES 0
#define MAP_BIT_LABELS 1
#define MAP_BYTE_LABELS 2

#ifndef MAP_STANDARD
#define MAP_STANDARD 0
#define MAP_DORVALE 1
#endif

class CImageMap : public CObject {
  DECLARE_SERIAL(CImageMap)

 public:
  // One entry of the pixel-type table.
  struct tagPixelType {
    wchar_t szName[15];
    BYTE byRed;
    BYTE byGreen;
    BYTE byBlue;
    int bVisible;
  };

  CImageMap();
  ~CImageMap() override;
  CImageMap(const CImageMap&) = delete;
  CImageMap& operator=(const CImageMap&) = delete;

  void Serialize(CArchive& ar) override;

  // Creation: all bytes 0. The table of a named map is cleared (empty names, black,
  // invisible); a predefined map gets its fixed table.
  BOOL Create(int width, int height, const wchar_t* name, unsigned char labelMode);
  BOOL Create(CImage* image, const wchar_t* name, unsigned char labelMode);
  BOOL Create(int width, int height, unsigned char predefinedId);
  BOOL Create(CImage* image, unsigned char predefinedId);
  // Deep copy of source (bytes, name, mode, table; not the backup) for image, or for
  // source's image when image is null.
  BOOL CreateDuplicate(CImageMap* source, CImage* image);

  void SetImage(CImage* image) { m_pImage = image; }
  CImage* GetImage() const { return m_pImage; }
  CString GetName() const { return m_strName; }
  int GetWidth() const { return m_nWidth; }
  int GetHeight() const { return m_nHeight; }
  unsigned char GetLabelMode() const { return m_nLabelMode; }
  void ClearMap(unsigned char value);

  // Map bytes; the checked forms ignore points outside the map.
  unsigned char GetMapByte(int x, int y) const;
  void SetMapByte(int x, int y, unsigned char value);
  void MapByteAddAttribute(int x, int y, unsigned char bits);
  void MapByteRemoveAttribute(int x, int y, unsigned char bits);
  // Unchecked forms for pixel loops: 0 <= x < width and 0 <= y < height.
  unsigned char PrivateGetMapByte(int x, int y) const { return m_ppLines[y][x]; }
  void PrivateSetMapByte(int x, int y, unsigned char value) { m_ppLines[y][x] = value; }
  void PrivateMapByteAddAttribute(int x, int y, unsigned char bits) { m_ppLines[y][x] |= bits; }
  void PrivateMapByteRemoveAttribute(int x, int y, unsigned char bits) {
    m_ppLines[y][x] &= static_cast<unsigned char>(~bits);
  }
  unsigned char* GetLine(int y) const { return m_ppLines[y]; }

  // Whether the byte at (x, y) (inside the map) carries the label, by the label mode.
  BOOL IsPixelType(int x, int y, unsigned char label) const;
  BOOL IsPixelType(int x, int y, const wchar_t* name) const;
  // Whether a byte of this map holds the label.
  BOOL ByteIsOfType(unsigned char byte, unsigned char label) const;
  BOOL GetMapColour(unsigned char byte, unsigned char* red, unsigned char* green,
                    unsigned char* blue) const;
  BOOL GetMapColour(int x, int y, unsigned char* red, unsigned char* green,
                    unsigned char* blue) const;

  // Pixel-type table; an index outside 0..GetPTCount()-1 is absent.
  int GetPTCount() const;
  BOOL SetPixelType(int index, const wchar_t* name, unsigned char red, unsigned char green,
                    unsigned char blue, int visible);
  int GetPTIndex(const wchar_t* name) const;
  unsigned char GetPTByteLabel(const wchar_t* name) const;
  const wchar_t* GetPTName(int index) const;
  const wchar_t* GetPTName(unsigned char byte) const;
  void SetPTName(int index, const wchar_t* name);
  void SetPTName(unsigned char byte, const wchar_t* name);
  unsigned char GetPTRed(int index) const;
  unsigned char GetPTGreen(int index) const;
  unsigned char GetPTBlue(int index) const;
  int GetPTVisible(int index) const;
  unsigned char GetPTRed(const wchar_t* name) const;
  unsigned char GetPTGreen(const wchar_t* name) const;
  unsigned char GetPTBlue(const wchar_t* name) const;
  int GetPTVisible(const wchar_t* name) const;
  void SetPTRed(int index, unsigned char value);
  void SetPTGreen(int index, unsigned char value);
  void SetPTBlue(int index, unsigned char value);
  void SetPTVisible(int index, int visible);
  void SetPTColour(int index, unsigned char red, unsigned char green, unsigned char blue);
  void SetPTRed(const wchar_t* name, unsigned char value);
  void SetPTGreen(const wchar_t* name, unsigned char value);
  void SetPTBlue(const wchar_t* name, unsigned char value);
  void SetPTVisible(const wchar_t* name, int visible);
  void SetPTColour(const wchar_t* name, unsigned char red, unsigned char green, unsigned char blue);

  // Labels.
  int GetNextFreeLabel() const;
  BOOL AllocateLabels(int count, int* indices, const wchar_t* name);

  // Predefined maps.
  void SetToPreDefinedMap(unsigned char id);
  BOOL IsPreDefinedMap(unsigned char id) const;

  // Geometry: the bytes follow their image's rotation, shear, crop and resampling; a byte
  // is a label and is never interpolated. Angles are in radians. A refused call (angle 0,
  // angle not finite, rectangle outside the map, canvas beyond the size limit) changes
  // nothing.
  // Whole-map rotation on an enlarged canvas filled with fill; discards the backup.
  void Rotate(double angle, unsigned char fill);
  // Turns the bytes of rect (normalised and clipped to the map) about its centre; the
  // rectangle is first set to fill, and the turned bytes land inside rect when clipToRect
  // is non-zero, else anywhere in the map. Size and backup stay.
  void Rotate(CRect rect, double angle, unsigned char fill, int clipToRect);
  // Shear: mode bit 1 horizontal, bit 2 vertical; new bytes get fill. Discards the backup.
  void Tilt(double angle, unsigned char mode, unsigned char fill);
  // Keeps the cropWidth x cropHeight rectangle at (x, y) when it lies inside the map;
  // discards the backup.
  void Crop(int x, int y, int cropWidth, int cropHeight);
  // New size with every byte 0; name, label mode and table stay; discards the backup.
  // FALSE, nothing changed, for a negative size or one beyond the size limit.
  int ReSample(int newWidth, int newHeight);

  // Morphology and projection.
  // One pass of dilation (operation 2) or erosion (operation 1) of label over the square
  // of size 3, 5 or 7 (anything else 3); option names bit labels kept on pixels with other
  // types (bit labels) or, as 1, restores eroded bytes from the backup (byte labels). A
  // cancel from the image's keep-alive restores the map.
  void ApplyMorphologicalFilterToMap(unsigned char operation, int size, unsigned char label,
                                     unsigned char option);
  // Counts of label over the width x height rectangle at (x, y) into rowCounts (height
  // entries) and columnCounts (width entries), either may be null: flags 0x8 counts runs
  // at their first byte, 0x4 counts bytes (complement non-zero: width or height minus the
  // count). Bytes outside the map do not match.
  void GetProjection(unsigned char label, int x, int y, int width, int height, long* rowCounts,
                     long* columnCounts, int complement, unsigned char flags);

  // Backups.
  CImageMap* CreateBackup();
  CImageMap* GetBackup() const { return m_pBackup; }
  CImageMap* RestoreBackup();
  void DiscardBackup();

 protected:
  void SetupLineArray(unsigned char** lines, unsigned char* data, int height, int width);
  // Allocates width x height bytes (all 0 when zeroed, else undefined) with their line
  // table; false (nothing changed) when the size is negative or too large.
  bool AllocateBytes(int width, int height, bool zeroed);
  // Installs width x height bytes (data from AllocateMapBytes, its top-down line table from
  // new[]) in place of the current ones, which are released.
  void ReplaceBytes(unsigned char* data, unsigned char** lines, int width, int height);
  // Replaces the table by a cleared one for the label mode (none for mode 0).
  void AllocateTable(unsigned char labelMode);
  tagPixelType* Entry(int index) const;
  // The entry a map byte stands for: mode 2 the byte itself, mode 1 its lowest set bit.
  tagPixelType* EntryForByte(unsigned char byte) const;

 private:
  void FreeMem();

 protected:
  unsigned char* m_pData;
  unsigned char** m_ppLines;
  int m_nWidth;
  int m_nHeight;
  CImage* m_pImage;
  CString m_strName;
  CImageMap* m_pBackup;
  tagPixelType* m_pPixelTypes;
  unsigned char m_nLabelMode;

  friend class CImage;
};

using tagPixelType = CImageMap::tagPixelType;
