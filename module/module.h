// The plug-in module: its table of creatable classes (the filter from frame/, the pages from
// ui/pages/; it sits above both so that neither names the other), the five entry points the host calls, what
// the module does when it is loaded and unloaded, and the about box's texts.
//
// Classes (factory templates, in this order): the filter and its four property pages. The
// module may unload once no object of it is alive (class factories included) and no
// LockServer(TRUE) is outstanding; both counts are atomic.
//
// Registration writes, under HKEY_CLASSES_ROOT, "CLSID\{clsid}" = the class name with
// "InprocServer32" = the module's full path and "ThreadingModel" = "Both" for every class, and
// the filter's setup record through the filter mapper.
#pragma once

#include "frame/module_info.h"
#include "platform/dshow/class_factory.h"
#include "platform/types.h"
#include "platform/window.h"

extern const CFactoryTemplate g_Templates[];
extern const int g_cTemplates;

// The class registered by a module built before this one; unregistration removes it.
// {5E0C2A71-94D3-4B8E-A6F2-1C7D3B9E4A10}
inline constexpr CLSID CLSID_NxLegacyPlugIn = {0x5E0C2A71, 0x94D3, 0x4B8E,
                                               {0xA6, 0xF2, 0x1C, 0x7D, 0x3B, 0x9E, 0x4A, 0x10}};

// Window classes of the custom controls, registered at load in this order.
constexpr int kNxWindowClassCount = 6;
extern const LPCWSTR kNxWindowClassNames[kNxWindowClassCount];

extern "C" {

// Process attach: opens the string set of the module (built-in texts or its language file),
// registers the six window classes, then runs the templates' load routines. Process detach:
// unregisters the classes in the same order, closes the string set, runs the unload routines.
// Other reasons only run the routines' entry (nothing). Returns TRUE.
BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

// Only IID_IUnknown and IID_IClassFactory are served (else E_NOINTERFACE); a CLSID not in the
// table gives CLASS_E_CLASSNOTAVAILABLE; otherwise a new class factory with one reference.
HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);

// S_OK when no object of the module is alive and no lock is held, else S_FALSE.
HRESULT STDMETHODCALLTYPE DllCanUnloadNow();

// Stops at the first failing step with its HRESULT; what was written before stays written.
HRESULT STDMETHODCALLTYPE DllRegisterServer();
HRESULT STDMETHODCALLTYPE DllUnregisterServer();

}  // extern "C"
