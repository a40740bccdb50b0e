#include "platform/filter_mapper.h"

#include <atomic>
#include <cstring>
#include <new>

#include "platform/registry.h"
#include "platform/wide_string.h"

namespace {

typedef std::basic_string<WCHAR> WideString;

void PutWord(std::vector<BYTE>* blob, size_t at, DWORD value) {
  for (int i = 0; i < 4; ++i) (*blob)[at + i] = static_cast<BYTE>(value >> (8 * i));
}

void AppendWord(std::vector<BYTE>* blob, DWORD value) {
  blob->resize(blob->size() + 4);
  PutWord(blob, blob->size() - 4, value);
}

// A word in the records that will later hold the offset of a pool entry.
struct PoolReference {
  size_t at;
  std::vector<BYTE> entry;
};

void AppendSignature(std::vector<BYTE>* blob, const char* text, size_t index) {
  blob->push_back(static_cast<BYTE>(text[0] + index));
  blob->insert(blob->end(), text + 1, text + 4);
}

void ReferTo(std::vector<BYTE>* blob, std::vector<PoolReference>* refs, const void* entry,
             size_t bytes) {
  if (entry == nullptr) {
    AppendWord(blob, 0);
    return;
  }
  const BYTE* first = static_cast<const BYTE*>(entry);
  refs->push_back({blob->size(), std::vector<BYTE>(first, first + bytes)});
  AppendWord(blob, 0);
}

// One pin in the version-2 shape, whichever version the caller used.
struct PinShape {
  DWORD flags;
  UINT instances;
  UINT typeCount;
  const REGPINTYPES* types;
  UINT mediumCount;
  const REGPINMEDIUM* mediums;
  const CLSID* category;
};

PinShape ShapeOf(const REGFILTER2& filter, ULONG index) {
  if (filter.dwVersion == 2) {
    const REGFILTERPINS2& p = filter.rgPins2[index];
    return {p.dwFlags, p.cInstances, p.nMediaTypes, p.lpMediaType, p.nMediums, p.lpMedium,
            p.clsPinCategory};
  }
  const REGFILTERPINS& p = filter.rgPins[index];
  const DWORD flags = (p.bZero ? REG_PINFLAG_B_ZERO : 0) |
                      (p.bRendered ? REG_PINFLAG_B_RENDERER : 0) |
                      (p.bMany ? REG_PINFLAG_B_MANY : 0) | (p.bOutput ? REG_PINFLAG_B_OUTPUT : 0);
  return {flags, 0, p.nMediaTypes, p.lpMediaType, 0, nullptr, nullptr};
}

WideString GuidText(REFGUID guid) {
  WCHAR text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

WideString InstancePath(const CLSID* category, LPCOLESTR instance, REFCLSID filter) {
  const CLSID& group = category != nullptr ? *category : CLSID_LegacyAmFilterCategory;
  const WideString name =
      instance != nullptr && instance[0] != 0 ? WideString(instance) : GuidText(filter);
  return NXW("CLSID\\") + GuidText(group) + NXW("\\Instance\\") + name;
}

#if !defined(_WIN32)

LONG SetText(HKEY key, LPCWSTR name, const WideString& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

class CFilterMapper final : public IFilterMapper2 {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IFilterMapper2) {
      *object = static_cast<IFilterMapper2*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit,
                                           LPCWSTR Description) override {
    const WideString path =
        InstancePath(&CLSID_ActiveMovieCategories, nullptr, clsidCategory);
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = SetText(key, NXW("FriendlyName"), Description != nullptr ? Description : NXW(""));
    if (status == ERROR_SUCCESS) status = SetText(key, NXW("CLSID"), GuidText(clsidCategory));
    if (status == ERROR_SUCCESS) {
      status = RegSetValueExW(key, NXW("Merit"), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&dwCategoryMerit), 4);
    }
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
  }

  HRESULT STDMETHODCALLTYPE UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance,
                                             REFCLSID Filter) override {
    // As the system's mapper: the entry key alone, so an entry with subkeys is refused.
    const WideString path = InstancePath(pclsidCategory, szInstance, Filter);
    return HRESULT_FROM_WIN32(RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str()));
  }

  HRESULT STDMETHODCALLTYPE RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name,
                                           IMoniker** ppMoniker, const CLSID* pclsidCategory,
                                           LPCOLESTR szInstance,
                                           const REGFILTER2* prf2) override {
    if (ppMoniker != nullptr) *ppMoniker = nullptr;
    if (prf2 == nullptr) return E_POINTER;
    std::vector<BYTE> blob;
    if (!NxSerializeFilterData(*prf2, &blob)) return E_INVALIDARG;
    const WideString path = InstancePath(pclsidCategory, szInstance, clsidFilter);
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = SetText(key, NXW("FriendlyName"), Name != nullptr ? Name : NXW(""));
    if (status == ERROR_SUCCESS) status = SetText(key, NXW("CLSID"), GuidText(clsidFilter));
    if (status == ERROR_SUCCESS) {
      status = RegSetValueExW(key, NXW("FilterData"), 0, REG_BINARY, blob.data(),
                              static_cast<DWORD>(blob.size()));
    }
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
  }

  HRESULT STDMETHODCALLTYPE EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD, BOOL, DWORD, BOOL,
                                                DWORD, const GUID*, const REGPINMEDIUM*,
                                                const CLSID*, BOOL, BOOL, DWORD, const GUID*,
                                                const REGPINMEDIUM*, const CLSID*) override {
    if (ppEnum != nullptr) *ppEnum = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~CFilterMapper() = default;
  std::atomic<ULONG> refs_{0};
};

#endif  // !_WIN32

}  // namespace

bool NxSerializeFilterData(const REGFILTER2& filter, std::vector<BYTE>* blob) {
  if (filter.dwVersion != 1 && filter.dwVersion != 2) return false;
  const ULONG pins = filter.cPins;
  if (pins != 0 && filter.rgPins == nullptr) return false;
  blob->clear();
  std::vector<PoolReference> refs;
  AppendWord(blob, 2);
  AppendWord(blob, filter.dwMerit);
  AppendWord(blob, pins);
  AppendWord(blob, 0);
  for (ULONG p = 0; p < pins; ++p) {
    const PinShape pin = ShapeOf(filter, p);
    if ((pin.typeCount != 0 && pin.types == nullptr) ||
        (pin.mediumCount != 0 && pin.mediums == nullptr)) {
      return false;
    }
    AppendSignature(blob, "0pi3", p);
    AppendWord(blob, pin.flags);
    AppendWord(blob, pin.instances);
    AppendWord(blob, pin.typeCount);
    AppendWord(blob, pin.mediumCount);
    ReferTo(blob, &refs, pin.category, sizeof(GUID));
    for (UINT t = 0; t < pin.typeCount; ++t) {
      AppendSignature(blob, "0ty3", t);
      AppendWord(blob, 0);
      ReferTo(blob, &refs, pin.types[t].clsMajorType, sizeof(GUID));
      ReferTo(blob, &refs, pin.types[t].clsMinorType, sizeof(GUID));
    }
    for (UINT m = 0; m < pin.mediumCount; ++m) {
      ReferTo(blob, &refs, &pin.mediums[m], sizeof(REGPINMEDIUM));
    }
  }
  // The pool: equal entries share one copy.
  std::vector<std::pair<std::vector<BYTE>, size_t>> pool;
  for (const PoolReference& ref : refs) {
    size_t offset = 0;
    for (const auto& entry : pool) {
      if (entry.first == ref.entry) offset = entry.second;
    }
    if (offset == 0) {
      offset = blob->size();
      pool.emplace_back(ref.entry, offset);
      blob->insert(blob->end(), ref.entry.begin(), ref.entry.end());
    }
    PutWord(blob, ref.at, static_cast<DWORD>(offset));
  }
  return true;
}

#if defined(_WIN32)
NxComScope::NxComScope()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

NxComScope::~NxComScope() {
  if (initialised_) CoUninitialize();
}
#else
NxComScope::NxComScope() : initialised_(false) {}

NxComScope::~NxComScope() { static_cast<void>(initialised_); }
#endif

HRESULT NxCreateFilterMapper(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
#if defined(_WIN32)
  // The system's own mapper (quartz), which writes the registry entries the system reads.
  return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, riid, object);
#else
  CFilterMapper* mapper = new (std::nothrow) CFilterMapper();
  if (mapper == nullptr) return E_OUTOFMEMORY;
  mapper->AddRef();
  const HRESULT hr = mapper->QueryInterface(riid, object);
  mapper->Release();
  return hr;
#endif
}

HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* setup, IFilterMapper2* mapper,
                                   BOOL registering) {
  if (setup == nullptr) return S_FALSE;
  if (mapper == nullptr || setup->clsID == nullptr) return E_POINTER;
  HRESULT hr = mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, *setup->clsID);
  if (hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) {
    // The mapper deletes only an entry without subkeys; one that has some (left by another tool
    // or an older registration) would block every later unregistration and registration. The
    // entry is this filter's own, so it goes whole.
    const WideString path = InstancePath(&CLSID_LegacyAmFilterCategory, nullptr, *setup->clsID);
    hr = HRESULT_FROM_WIN32(RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str()));
  }
  if (registering) {
    REGFILTER2 filter = {};
    filter.dwVersion = 1;
    filter.dwMerit = setup->dwMerit;
    filter.cPins = setup->nPins;
    filter.rgPins = setup->lpPin;
    hr = mapper->RegisterFilter(*setup->clsID, setup->strName, nullptr,
                                &CLSID_LegacyAmFilterCategory, nullptr, &filter);
  }
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
}
