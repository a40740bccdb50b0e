// ISpecifyPropertyPages and the counted GUID array it fills; IPropertyPage and its site.
#pragma once

#include "platform/dshow/persist.h"
#include "platform/unknown.h"
#include "platform/window.h"

#if defined(_WIN32)
#include <ocidl.h>
#else
// A counted array of GUIDs. pElems is task-allocated (CoTaskMemAlloc) by the object and freed by
// the caller with CoTaskMemFree.
struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};
#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(CAUUID) == 16 && offsetof(CAUUID, pElems) == 8, "CAUUID layout");
#endif

// {B196B28B-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_ISpecifyPropertyPages = {
    0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct ISpecifyPropertyPages : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pPages) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};

// ---- The property page and the frame that holds it ---------------------------------------


typedef DWORD LCID;

struct SIZE {
  LONG cx;
  LONG cy;
};

// What a page tells its frame about itself. The texts are task-allocated by the page and freed
// by the frame with CoTaskMemFree; a null text means none.
struct PROPPAGEINFO {
  ULONG cb;  // sizeof(PROPPAGEINFO)
  LPOLESTR pszTitle;
  SIZE size;  // pixels
  LPOLESTR pszDocString;
  LPOLESTR pszHelpFile;
  DWORD dwHelpContext;
};

// Status flags a page reports to its frame.
constexpr DWORD PROPPAGESTATUS_DIRTY = 0x01;
constexpr DWORD PROPPAGESTATUS_VALIDATE = 0x02;
constexpr DWORD PROPPAGESTATUS_CLEAN = 0x04;

// {B196B28C-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IPropertyPageSite = {
    0xB196B28C, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct IPropertyPageSite : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* pLocaleID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** ppUnk) = 0;
  virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg) = 0;

 protected:
  ~IPropertyPageSite() = default;
};

// {B196B28D-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IPropertyPage = {
    0xB196B28D, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct IPropertyPage : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* pPageSite) = 0;
  virtual HRESULT STDMETHODCALLTYPE Activate(HWND hWndParent, const RECT* pRect, BOOL bModal) = 0;
  virtual HRESULT STDMETHODCALLTYPE Deactivate() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* pPageInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetObjects(ULONG cObjects, IUnknown** ppUnk) = 0;
  virtual HRESULT STDMETHODCALLTYPE Show(UINT nCmdShow) = 0;
  virtual HRESULT STDMETHODCALLTYPE Move(const RECT* pRect) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsPageDirty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Apply() = 0;
  virtual HRESULT STDMETHODCALLTYPE Help(LPCOLESTR pszHelpDir) = 0;
  virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg) = 0;

 protected:
  ~IPropertyPage() = default;
};
#endif  // _WIN32
