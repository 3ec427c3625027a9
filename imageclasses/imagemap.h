// CImageMap: a per-pixel label layer of an image with its pixel-type table.
#pragma once

#include "platform/cstring.h"
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
