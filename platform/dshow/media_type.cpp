#include "platform/dshow/media_type.h"

#include <cstring>

#include "platform/dshow/media_guids.h"
#include "platform/dshow/task_memory.h"

namespace {

void ClearRecord(AM_MEDIA_TYPE& type) {
  std::memset(&type, 0, sizeof type);
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = 1;
}

}  // namespace

void FreeMediaType(AM_MEDIA_TYPE& type) {
  CoTaskMemFree(type.pbFormat);
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  if (type.pUnk != nullptr) {
    type.pUnk->Release();
    type.pUnk = nullptr;
  }
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (target == nullptr || source == nullptr) return E_POINTER;
  if (source->cbFormat != 0 && source->pbFormat == nullptr) {
    ClearRecord(*target);
    return E_POINTER;
  }
  *target = *source;
  if (source->cbFormat != 0) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat == nullptr) {
      ClearRecord(*target);
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  } else {
    target->pbFormat = nullptr;
  }
  if (target->pUnk != nullptr) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
  if (source == nullptr) return nullptr;
  auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (copy == nullptr) return nullptr;
  if (FAILED(CopyMediaType(copy, source))) {
    CoTaskMemFree(copy);
    return nullptr;
  }
  return copy;
}

CMediaType::CMediaType() : AM_MEDIA_TYPE() { ClearRecord(*this); }

CMediaType::CMediaType(const GUID* type) : CMediaType() {
  if (type != nullptr) majortype = *type;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : CMediaType() { Set(other); }

CMediaType::CMediaType(const CMediaType& other) : CMediaType() { Set(other); }

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other) {
  Set(other);
  return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
  Set(other);
  return *this;
}

CMediaType::~CMediaType() { FreeMediaType(*this); }

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& other) {
  if (&other == this) return S_OK;
  FreeMediaType(*this);
  return CopyMediaType(this, &other);
}

bool CMediaType::operator==(const CMediaType& other) const {
  return majortype == other.majortype && subtype == other.subtype &&
         formattype == other.formattype && cbFormat == other.cbFormat &&
         (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

bool CMediaType::IsValid() const { return majortype != GUID_NULL; }

bool CMediaType::IsPartiallySpecified() const {
  return majortype == GUID_NULL || formattype == GUID_NULL;
}

bool CMediaType::MatchesPartial(const CMediaType* partial) const {
  if (partial->majortype != GUID_NULL && partial->majortype != majortype) return false;
  if (partial->subtype != GUID_NULL && partial->subtype != subtype) return false;
  if (partial->formattype == GUID_NULL) return true;
  if (partial->formattype != formattype) return false;
  if (partial->cbFormat == 0) return true;
  return partial->cbFormat == cbFormat &&
         std::memcmp(partial->pbFormat, pbFormat, cbFormat) == 0;
}

void CMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    SetVariableSize();
  } else {
    bFixedSizeSamples = TRUE;
    lSampleSize = size;
  }
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length) {
  if (length != 0 && format == nullptr) return false;
  BYTE* block = nullptr;
  if (length != 0) {
    block = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (block == nullptr) return false;
    std::memcpy(block, format, length);
  }
  CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return true;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  ResetFormatBuffer();
  if (length == 0) return nullptr;
  pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
  cbFormat = pbFormat != nullptr ? length : 0;
  return pbFormat;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
  if (length == 0) {
    ResetFormatBuffer();
    return nullptr;
  }
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (block == nullptr) return nullptr;
  if (cbFormat != 0) std::memcpy(block, pbFormat, cbFormat < length ? cbFormat : length);
  CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

void CMediaType::ResetFormatBuffer() {
  CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
}

void CMediaType::InitMediaType() {
  FreeMediaType(*this);
  ClearRecord(*this);
}
