// The filter mapper: IFilterMapper2 with its real IID, method order and records, over the
// registry store (registry.h), and the base classes' helper that registers a filter's setup
// record with it.
//
// RegisterFilter writes what the platform writes: under HKEY_CLASSES_ROOT
// "CLSID\{category}\Instance\{instance or filter CLSID}" the values "FriendlyName" (REG_SZ),
// "CLSID" (REG_SZ, the braced filter CLSID) and "FilterData" (REG_BINARY, the serialised
// REGFILTER2 below). A null category is the DirectShow filters category
// (CLSID_LegacyAmFilterCategory).
//
// "FilterData", all fields little-endian 32-bit words at byte offsets from the blob's start:
//   header: version 2, merit, pin count, 0
//   per pin: signature "0pi3" (first byte '0' + pin index), flags (REG_PINFLAG_B_*),
//            instances, media type count, medium count, offset of the category GUID or 0;
//            then per media type: signature "0ty3" (first byte '0' + type index), 0,
//            offset of the major type GUID, offset of the minor type GUID (0 for none);
//            then per medium: offset of its 24-byte REGPINMEDIUM
//   then the pool: each distinct GUID once (16 bytes) and each medium (24 bytes).
#pragma once

#include <vector>

#include "platform/dshow/media_guids.h"
#include "platform/dshow/setup_data.h"
#include "platform/unknown.h"

#if defined(_WIN32)
#include <strmif.h>
#include <uuids.h>
#else
struct IMoniker;
struct IEnumMoniker;
typedef const WCHAR* LPCOLESTR;

// {B79BB0B0-33C1-11D1-ABE1-00A0C905F375}
inline constexpr IID IID_IFilterMapper2 = {0xB79BB0B0, 0x33C1, 0x11D1,
                                           {0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
// {CDA42200-BD88-11D0-BD4E-00A0C911CE86}
inline constexpr CLSID CLSID_FilterMapper2 = {0xCDA42200, 0xBD88, 0x11D0,
                                              {0xBD, 0x4E, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// {DA4E3DA0-D07D-11D0-BD50-00A0C911CE86}: the category of categories.
inline constexpr CLSID CLSID_ActiveMovieCategories = {
    0xDA4E3DA0, 0xD07D, 0x11D0, {0xBD, 0x50, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};

struct REGPINMEDIUM {
  CLSID clsMedium;
  DWORD dw1;
  DWORD dw2;
};

enum {
  REG_PINFLAG_B_ZERO = 0x1,
  REG_PINFLAG_B_RENDERER = 0x2,
  REG_PINFLAG_B_MANY = 0x4,
  REG_PINFLAG_B_OUTPUT = 0x8
};

struct REGFILTERPINS2 {
  DWORD dwFlags;
  UINT cInstances;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
  UINT nMediums;
  const REGPINMEDIUM* lpMedium;
  const CLSID* clsPinCategory;
};

// dwVersion 1 uses cPins/rgPins, version 2 cPins2/rgPins2.
struct REGFILTER2 {
  DWORD dwVersion;
  DWORD dwMerit;
  union {
    struct {
      ULONG cPins;
      const REGFILTERPINS* rgPins;
    };
    struct {
      ULONG cPins2;
      const REGFILTERPINS2* rgPins2;
    };
  };
};
#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(REGPINMEDIUM) == 24, "REGPINMEDIUM layout");
static_assert(sizeof(REGFILTERPINS2) == 48 && offsetof(REGFILTERPINS2, lpMediaType) == 16 &&
                  offsetof(REGFILTERPINS2, lpMedium) == 32 &&
                  offsetof(REGFILTERPINS2, clsPinCategory) == 40,
              "REGFILTERPINS2 layout");
static_assert(sizeof(REGFILTER2) == 24 && offsetof(REGFILTER2, rgPins) == 16,
              "REGFILTER2 layout");
#endif

struct IFilterMapper2 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit,
                                                   LPCWSTR Description) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnregisterFilter(const CLSID* pclsidCategory,
                                                     LPCOLESTR szInstance, REFCLSID Filter) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name,
                                                   IMoniker** ppMoniker,
                                                   const CLSID* pclsidCategory,
                                                   LPCOLESTR szInstance,
                                                   const REGFILTER2* prf2) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumMatchingFilters(
      IEnumMoniker** ppEnum, DWORD dwFlags, BOOL bExactMatch, DWORD dwMerit, BOOL bInputNeeded,
      DWORD cInputTypes, const GUID* pInputTypes, const REGPINMEDIUM* pMedIn,
      const CLSID* pPinCategoryIn, BOOL bRender, BOOL bOutputNeeded, DWORD cOutputTypes,
      const GUID* pOutputTypes, const REGPINMEDIUM* pMedOut, const CLSID* pPinCategoryOut) = 0;

 protected:
  ~IFilterMapper2() = default;
};

#endif  // _WIN32

// COM initialised on the calling thread for the life of the object, as registration needs it
// for the filter mapper (the platform's CoInitializeEx / CoUninitialize on Windows; nothing
// here). A thread that has COM already keeps it as it was. Declare it before any COM object
// of the scope, so that those are released first.
class NxComScope {
 public:
  NxComScope();
  ~NxComScope();
  NxComScope(const NxComScope&) = delete;
  NxComScope& operator=(const NxComScope&) = delete;

 private:
  bool initialised_;
};

// Creates the filter mapper (what CoCreateInstance(CLSID_FilterMapper2) gives on the platform)
// answering IUnknown and IFilterMapper2, with one reference. UnregisterFilter deletes the entry
// key only (E_ACCESSDENIED when it has subkeys), as the system's does. Monikers are not made:
// RegisterFilter sets *ppMoniker to null, EnumMatchingFilters is E_NOTIMPL.
HRESULT NxCreateFilterMapper(REFIID riid, void** object);

// The serialised form of `filter` as "FilterData" holds it; false for a version other than 1
// or 2, or a null pin or type array with a non-zero count.
bool NxSerializeFilterData(const REGFILTER2& filter, std::vector<BYTE>* blob);

// Registers (`registering` TRUE) or unregisters the filter described by `setup` in the
// DirectShow filters category: an earlier entry is removed first, so pins are never merged
// with an old registration, and a missing entry is not an error. An entry the mapper refuses to
// delete because it has subkeys (mappers delete childless keys only) is deleted whole here.
// S_FALSE for no setup record.
HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* setup, IFilterMapper2* mapper,
                                   BOOL registering);
