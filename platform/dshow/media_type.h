// CMediaType: an AM_MEDIA_TYPE that owns its format block, and the free-standing helpers for
// plain AM_MEDIA_TYPE records.
//
// Format blocks are task-allocated, so a record copied out to a caller (ConnectionMediaType, an
// enumerator's Next) can be freed on the other side with FreeMediaType / DeleteMediaType. Copies
// are deep: the format block is duplicated and pUnk AddRef'd. A record with cbFormat non-zero
// and pbFormat null is malformed and is refused (E_POINTER) rather than read.
#pragma once

#include "platform/dshow/interfaces.h"

class CMediaType : public AM_MEDIA_TYPE {
 public:
  // An empty type: GUID_NULL everywhere, fixed-size samples of 1 byte, no format block.
  CMediaType();
  explicit CMediaType(const GUID* majortype);
  // On allocation failure the copy has no format block (IsValid may still be true); use Set()
  // where the result matters.
  CMediaType(const AM_MEDIA_TYPE& other);  // NOLINT: implicit, as AM_MEDIA_TYPE converts
  CMediaType(const CMediaType& other);
  CMediaType& operator=(const AM_MEDIA_TYPE& other);
  CMediaType& operator=(const CMediaType& other);
  ~CMediaType();

  // Deep copy; E_OUTOFMEMORY or E_POINTER leave this type empty.
  HRESULT Set(const AM_MEDIA_TYPE& other);

  // Major types, subtypes, format types and format blocks equal (byte for byte).
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }

  // A major type has been set.
  bool IsValid() const;
  // Major type or format type left as GUID_NULL (a pattern rather than a type).
  bool IsPartiallySpecified() const;
  // Every GUID that `partial` sets (not GUID_NULL) equals ours; a format block in `partial`
  // must equal ours too.
  bool MatchesPartial(const CMediaType* partial) const;

  const GUID* Type() const { return &majortype; }
  void SetType(const GUID* type) { majortype = *type; }
  const GUID* Subtype() const { return &subtype; }
  void SetSubtype(const GUID* type) { subtype = *type; }
  const GUID* FormatType() const { return &formattype; }
  void SetFormatType(const GUID* type) { formattype = *type; }

  BOOL IsFixedSize() const { return bFixedSizeSamples; }
  BOOL IsTemporalCompressed() const { return bTemporalCompression; }
  ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }
  void SetSampleSize(ULONG size);  // 0 means variable-size samples
  void SetVariableSize() { bFixedSizeSamples = FALSE; }
  void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }

  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  // Copies `length` bytes into a new format block; false when memory is short (the old block
  // is kept then).
  bool SetFormat(const BYTE* format, ULONG length);
  // Replaces the format block by an uninitialised one of `length` bytes; null when memory is
  // short (no block then).
  BYTE* AllocFormatBuffer(ULONG length);
  // Keeps the first min(old, new) bytes; null when memory is short (the old block is kept).
  BYTE* ReallocFormatBuffer(ULONG length);
  void ResetFormatBuffer();
  // Frees the format block and makes the type empty again.
  void InitMediaType();
};

// Frees the format block and releases pUnk; the record itself stays (it may live on the stack).
void FreeMediaType(AM_MEDIA_TYPE& type);
// FreeMediaType, then frees the task-allocated record itself. Null is accepted.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// A task-allocated deep copy, or null when memory is short or `source` is malformed.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
// Deep copy into a record that holds no format block yet. On failure `target` is left empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
