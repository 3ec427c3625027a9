// The single-level pixel backup of the four formats.
#include <cstring>
#include <memory>
#include <type_traits>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/internal/format_access.h"
#include "imageclasses/locolorimage.h"
#include "kernels/pixels/copy.h"
#include "kernels/pixels/pixel_arrays.h"

namespace vorlane::detail {

template <class Format>
int FormatAccess::Backup(Format& self) {
  if (self.m_bBackup || !self.m_pData) return 0;
  OwnedPixelArrays copy(self.m_nBytesPerLine, self.m_nHeight);
  CopyBuffer(copy.Data(), self.m_pData, self.m_nBytesPerLine, self.m_nHeight);
  self.SetupLineArray(copy.Lines(), copy.Data(), self.m_nHeight, self.m_nBytesPerLine);
  if constexpr (std::is_same_v<Format, CLoColorImage>) {
    self.m_pBackupPalette = CopyPalette(self.m_pPalette).release();
  }
  copy.HandOver(self.m_pBackupData, self.m_ppBackupLines);
  self.m_bBackup = 1;
  return 1;
}

template <class Format>
int FormatAccess::Discard(Format& self) {
  if (!self.m_bBackup) return 0;
  FreePixelArrays(self.m_pBackupData, self.m_ppBackupLines);
  if constexpr (std::is_same_v<Format, CLoColorImage>) {
    delete[] self.m_pBackupPalette;
    self.m_pBackupPalette = nullptr;
  }
  self.m_bBackup = 0;
  return 1;
}

// The saved bytes are copied back into the current buffer rather than the buffers being
// exchanged: arrays shared with other images stay where they are, and every image sharing
// them sees the restored pixels.
template <class Format>
void FormatAccess::Restore(Format& self) {
  if (!self.m_bBackup) return;
  if (self.m_pData) {
    CopyBuffer(self.m_pData, self.m_pBackupData, self.m_nBytesPerLine, self.m_nHeight);
  }
  if constexpr (std::is_same_v<Format, CLoColorImage>) {
    if (self.m_pPalette && self.m_pBackupPalette) {
      std::memcpy(self.m_pPalette, self.m_pBackupPalette, 256 * sizeof(DWORD));
    } else if (!self.m_bArraysByReference) {
      // The image gained or lost its palette since the backup: take the saved state.
      delete[] self.m_pPalette;
      self.m_pPalette = self.m_pBackupPalette;
      self.m_pBackupPalette = nullptr;
    }
  }
  Discard(self);
}

}  // namespace vorlane::detail

using vorlane::detail::FormatAccess;

int CBiLevelImage::CreateBackup() {
  CImage::CreateBackup();
  return FormatAccess::Backup(*this);
}
int CGreyScaleImage::CreateBackup() {
  CImage::CreateBackup();
  return FormatAccess::Backup(*this);
}
int CLoColorImage::CreateBackup() {
  CImage::CreateBackup();
  return FormatAccess::Backup(*this);
}
int CHiColorImage::CreateBackup() {
  CImage::CreateBackup();
  return FormatAccess::Backup(*this);
}

void CBiLevelImage::RestoreBackup() { FormatAccess::Restore(*this); }
void CGreyScaleImage::RestoreBackup() { FormatAccess::Restore(*this); }
void CLoColorImage::RestoreBackup() { FormatAccess::Restore(*this); }
void CHiColorImage::RestoreBackup() { FormatAccess::Restore(*this); }

int CBiLevelImage::DiscardBackup() { return FormatAccess::Discard(*this); }
int CGreyScaleImage::DiscardBackup() { return FormatAccess::Discard(*this); }
int CLoColorImage::DiscardBackup() { return FormatAccess::Discard(*this); }
int CHiColorImage::DiscardBackup() { return FormatAccess::Discard(*this); }
