#include "module/module.h"

#include <new>
#include <string>

#include "frame/guids.h"
#include "frame/nx_plugin.h"
#include "platform/filter_mapper.h"
#include "platform/module_file.h"
#include "platform/registry.h"
#include "toolkit/string_table.h"
#include "ui/pages/pages.h"
#include "ui/view/view.h"

typedef std::basic_string<WCHAR> WideString;

const CFactoryTemplate g_Templates[] = {
    {NXW("Quorvex Auralith"), &CLSID_NxPlugIn, CNxPlugIn::CreateInstance, nullptr, nullptr},
    {NXW("Quorvex Auralith Property Page"), &CLSID_NxGeneralPage,
     NxCreateGeneralPage, nullptr, nullptr},
    {NXW("Quorvex Auralith Property Page 2"), &CLSID_NxEnvelopePage,
     NxCreateEnvelopePage, nullptr, nullptr},
    {NXW("Quorvex Auralith Property Page 3"), &CLSID_NxRecoverPage,
     NxCreateRecoverPage, nullptr, nullptr},
    {NXW("Quorvex Auralith Property Page 4"), &CLSID_NxSummaryPage,
     NxCreateSummaryPage, nullptr, nullptr},
};
const int g_cTemplates = sizeof g_Templates / sizeof g_Templates[0];

const LPCWSTR kNxWindowClassNames[kNxWindowClassCount] = {
    NXW("auralithBld0FaderClass"),  NXW("auralithBld0TrackbarClass"),
    NXW("auralithBld0SpinnerClass"), NXW("auralithBld0StaticClass"),
    NXW("auralithBld0EnvelopeClass"), NXW("auralithBld0LogoClass"),
};

namespace {

// Room for a module path; the platform's own limit is far below it.
constexpr DWORD kPathUnits = 4096;

void RunInitRoutines(BOOL loading) {
  for (int i = 0; i < g_cTemplates; ++i) {
    if (g_Templates[i].m_lpfnInit != nullptr) {
      g_Templates[i].m_lpfnInit(loading, g_Templates[i].m_ClsID);
    }
  }
}

WideString ClassKeyPath(REFCLSID clsid) {
  WCHAR text[39];
  StringFromGUID2(clsid, text, 39);
  return WideString(NXW("CLSID\\")) + text;
}

LONG SetText(HKEY key, LPCWSTR name, LPCWSTR text) {
  const size_t units = std::char_traits<WCHAR>::length(text) + 1;
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(units * sizeof(WCHAR)));
}

// "CLSID\{clsid}" = name, its "InprocServer32" = module path, "ThreadingModel" = "Both".
HRESULT WriteClassKeys(const CFactoryTemplate& entry, LPCWSTR modulePath) {
  HKEY classKey = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, ClassKeyPath(*entry.m_ClsID).c_str(), 0,
                                nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &classKey, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  status = SetText(classKey, nullptr, entry.m_Name);
  HKEY serverKey = nullptr;
  if (status == ERROR_SUCCESS) {
    status = RegCreateKeyExW(classKey, NXW("InprocServer32"), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &serverKey,
                             nullptr);
  }
  if (status == ERROR_SUCCESS) status = SetText(serverKey, nullptr, modulePath);
  if (status == ERROR_SUCCESS) status = SetText(serverKey, NXW("ThreadingModel"), NXW("Both"));
  if (serverKey != nullptr) RegCloseKey(serverKey);
  RegCloseKey(classKey);
  return HRESULT_FROM_WIN32(status);
}

// A class key that is not there is already removed.
HRESULT DeleteClassKeys(REFCLSID clsid) {
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath(clsid).c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

// The template's object asked for IAMovieSetup, as a host would create it.
HRESULT CreateSetupObject(const CFactoryTemplate& entry, IAMovieSetup** setup) {
  CClassFactory factory(&entry);
  return factory.CreateInstance(nullptr, IID_IAMovieSetup, reinterpret_cast<void**>(setup));
}

bool SkipsSetup(HRESULT hr) { return hr == E_NOINTERFACE || hr == VFW_E_NEED_OWNER; }

// Registers or unregisters the setup records the templates carry themselves.
HRESULT RegisterTemplateSetups(BOOL registering) {
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = NxCreateFilterMapper(IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i) {
    if (g_Templates[i].m_pAMovieSetup_Filter != nullptr) {
      hr = AMovieSetupRegisterFilter2(g_Templates[i].m_pAMovieSetup_Filter, mapper,
                                      registering);
    }
  }
  mapper->Release();
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace

BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    NxSetModuleInstance(instance);
    WCHAR path[kPathUnits];
    if (GetModuleFileNameW(instance, path, kPathUnits) != 0) {
      NxOpenStringTable(path);
    } else {
      NxCloseStringTable();
    }
    for (size_t i = 0; i < kNxWindowClassCount; ++i) {
      NxInitControlClass(i, instance, kNxWindowClassNames[i]);
    }
    NxInstallView(instance);
    RunInitRoutines(TRUE);
  } else if (reason == DLL_PROCESS_DETACH) {
    NxRemoveView();
    for (size_t i = 0; i < kNxWindowClassCount; ++i) {
      NxTermControlClass(i, instance, kNxWindowClassNames[i]);
    }
    NxCloseStringTable();
    NxSetModuleInstance(nullptr);
    RunInitRoutines(FALSE);
  }
  return TRUE;
}

HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
  for (int i = 0; i < g_cTemplates; ++i) {
    if (!g_Templates[i].IsClassID(clsid)) continue;
    CClassFactory* factory = new (std::nothrow) CClassFactory(&g_Templates[i]);
    if (factory == nullptr) return E_OUTOFMEMORY;
    factory->NonDelegatingAddRef();
    const HRESULT hr = factory->NonDelegatingQueryInterface(iid, object);
    factory->NonDelegatingRelease();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  return CUnknown::ObjectsActive() == 0 && !CClassFactory::IsLocked() ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE DllRegisterServer() {
  // Installers may call this without having initialised COM; the filter mapper needs it.
  const NxComScope com;
  WCHAR path[kPathUnits];
  if (GetModuleFileNameW(NxModuleInstance(), path, kPathUnits) == 0) {
    return HRESULT_FROM_WIN32(static_cast<LONG>(GetLastError()));
  }
  for (int i = 0; i < g_cTemplates; ++i) {
    const HRESULT hr = WriteClassKeys(g_Templates[i], path);
    if (FAILED(hr)) return hr;
  }
  HRESULT hr = RegisterTemplateSetups(TRUE);
  if (FAILED(hr)) return hr;
  for (int i = 0; i < g_cTemplates; ++i) {
    hr = WriteClassKeys(g_Templates[i], path);
    if (FAILED(hr)) return hr;
    if (g_Templates[i].m_lpfnNew == nullptr) continue;
    IAMovieSetup* setup = nullptr;
    hr = CreateSetupObject(g_Templates[i], &setup);
    if (SkipsSetup(hr)) continue;
    if (FAILED(hr)) return hr;
    // An earlier mapper entry goes first, so the pins written are only this record's.
    setup->Unregister();
    hr = setup->Register();
    setup->Release();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DllUnregisterServer() {
  const NxComScope com;
  const WideString legacy = ClassKeyPath(CLSID_NxLegacyPlugIn);
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, legacy.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  RegCloseKey(key);
  // With its subkeys: an old registration left "InprocServer32" under it, and a plain key
  // deletion would fail there and block every later unregistration.
  status = RegDeleteTreeW(HKEY_CLASSES_ROOT, legacy.c_str());
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  for (int i = g_cTemplates - 1; i >= 0; --i) {
    if (g_Templates[i].m_lpfnNew != nullptr) {
      IAMovieSetup* setup = nullptr;
      HRESULT hr = CreateSetupObject(g_Templates[i], &setup);
      if (SUCCEEDED(hr)) {
        hr = setup->Unregister();
        setup->Release();
      }
      if (FAILED(hr) && !SkipsSetup(hr)) return hr;
    }
    const HRESULT hr = DeleteClassKeys(*g_Templates[i].m_ClsID);
    if (FAILED(hr)) return hr;
  }
  HRESULT hr = RegisterTemplateSetups(FALSE);
  for (int i = 0; i < g_cTemplates && SUCCEEDED(hr); ++i) {
    hr = DeleteClassKeys(*g_Templates[i].m_ClsID);
  }
  return hr;
}
