// Checks shared by the archive records of images, maps and components: schema handling and
// bounds that hold every size read from an archive to what the file can still deliver.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/archive.h"
#include "platform/diagnostics.h"

namespace vorlane::detail {

// Schema of the image, map and component records.
inline constexpr UINT kRecordSchema = 1;
inline constexpr UINT kNoObjectSchema = static_cast<UINT>(-1);

// Fewest bytes that a component or a map in an image's list can take in an archive: a class
// reference (2) and the fixed fields of the record (component: 58 bytes; map: width, height,
// owner tag, an empty string and the label mode, 12 bytes). They bound the list counts.
inline constexpr uint64_t kMinComponentObjectBytes = 2 + 58;
inline constexpr uint64_t kMinMapObjectBytes = 2 + 12;

// Raises CArchiveException with the cause.
[[noreturn]] inline void RejectRecord(int cause) { throw CArchiveException(cause); }

// Raises CArchiveException(endOfFile) unless the loading archive can still deliver
// count x unitBytes + extraBytes bytes (computed without overflow). Call it before
// allocating anything for the claim.
inline void RequireAvailable(CArchive& ar, uint64_t count, uint64_t unitBytes,
                             uint64_t extraBytes = 0) {
  const uint64_t remaining = ar.RemainingForLoad();
  if (extraBytes > remaining) RejectRecord(CArchiveException::endOfFile);
  if (unitBytes != 0 && count > (remaining - extraBytes) / unitBytes) {
    RejectRecord(CArchiveException::endOfFile);
  }
}

// Rows of zero bytes (images and maps of width 0) take nothing in the file but a line-table
// entry each in memory: a record may claim as many of them as the file has bytes, and at
// least kMaxFreeEmptyRows, so that such images of modest height always load again.
inline constexpr uint64_t kMaxFreeEmptyRows = 65536;
inline void RequireEmptyRowsBacked(CArchive& ar, int64_t rowBytes, int64_t rows) {
  if (rowBytes != 0 || rows <= 0) return;
  const uint64_t limit = std::max(ar.GetFile()->GetLength(), kMaxFreeEmptyRows);
  if (static_cast<uint64_t>(rows) > limit) RejectRecord(CArchiveException::endOfFile);
}

// Reads exactly bytes bytes, in blocks the archive accepts; CArchiveException(endOfFile) when
// the file ends first.
inline void ReadBlock(CArchive& ar, void* dst, size_t bytes) {
  constexpr size_t kChunk = size_t{1} << 30;
  auto* out = static_cast<unsigned char*>(dst);
  while (bytes > 0) {
    const auto n = static_cast<UINT>(std::min(bytes, kChunk));
    if (ar.Read(out, n) != n) RejectRecord(CArchiveException::endOfFile);
    out += n;
    bytes -= n;
  }
}

// Writes bytes bytes in blocks the archive accepts.
inline void WriteBlock(CArchive& ar, const void* src, size_t bytes) {
  constexpr size_t kChunk = size_t{1} << 30;
  const auto* in = static_cast<const unsigned char*>(src);
  while (bytes > 0) {
    const auto n = static_cast<UINT>(std::min(bytes, kChunk));
    ar.Write(in, n);
    in += n;
    bytes -= n;
  }
}

// Reads count little-endian 32-bit values into dst (any 4-byte-aligned array of 32-bit
// fields, such as runs and points).
inline void ReadLE32Array(CArchive& ar, void* dst, size_t count) {
  ReadBlock(ar, dst, count * 4);
  if constexpr (std::endian::native != std::endian::little) {
    auto* words = static_cast<uint32_t*>(dst);
    for (size_t i = 0; i < count; ++i) words[i] = __builtin_bswap32(words[i]);
  }
}

// Writes count 32-bit values from src as little-endian.
inline void WriteLE32Array(CArchive& ar, const void* src, size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    WriteBlock(ar, src, count * 4);
  } else {
    std::vector<uint32_t> words(count);
    std::memcpy(words.data(), src, count * 4);
    for (uint32_t& w : words) w = __builtin_bswap32(w);
    WriteBlock(ar, words.data(), count * 4);
  }
}

// Whether the object being loaded was handed its schema by object extraction, without
// consuming it: the record's own reader still receives it. Always true while storing.
inline bool RecordSchemaPending(CArchive& ar) {
  if (ar.IsStoring()) return true;
  const UINT schema = ar.GetObjectSchema();
  ar.SetObjectSchema(schema);
  return schema != kNoObjectSchema;
}

// Starts loading an image or component record. Without a schema (the record is not being
// read through object extraction) shows the version message and returns false: the caller
// reads nothing. A schema other than the records' raises CArchiveException(badSchema).
inline bool BeginVersionedRecord(CArchive& ar) {
  const UINT schema = ar.GetObjectSchema();
  if (schema == kNoObjectSchema) {
    MessageBox(L"Version information for the image (CImage) you are trying to load is unavailable!",
               L"Image Load Aborted");
    return false;
  }
  if (schema != kRecordSchema) RejectRecord(CArchiveException::badSchema);
  return true;
}

// Maps do not need their schema, but one handed over must be the records' schema.
inline void CheckOptionalSchema(CArchive& ar) {
  const UINT schema = ar.GetObjectSchema();
  if (schema != kNoObjectSchema && schema != kRecordSchema) {
    RejectRecord(CArchiveException::badSchema);
  }
}

// Reads a 32-bit signed value.
inline int32_t ReadInt32(CArchive& ar) {
  LONG v = 0;
  ar >> v;
  return v;
}

// Reads a 32-bit count that must lie in 0..limit; CArchiveException(genericException) for a
// negative value, endOfFile above the limit (a count the file cannot hold).
inline int32_t ReadCount(CArchive& ar, uint64_t limit) {
  const int32_t n = ReadInt32(ar);
  if (n < 0) RejectRecord(CArchiveException::genericException);
  if (static_cast<uint64_t>(n) > limit) RejectRecord(CArchiveException::endOfFile);
  return n;
}

}  // namespace vorlane::detail
