// CFactoryTemplate: one entry of a module's table of creatable classes — the name, class
// identifier, create function, optional load/unload routine and registration data. The class
// factory and the module entry points that walk the table belong to the module.
#pragma once

#include "platform/dshow/cunknown.h"
#include "platform/dshow/setup_data.h"

// Makes an object of the class with no references yet; sets *hr (E_OUTOFMEMORY, ...) and
// returns null on failure.
typedef CUnknown* (*LPFNNewCOMObject)(IUnknown* outer, HRESULT* hr);
// Called with TRUE when the module loads and FALSE when it unloads.
typedef void (*LPFNInitRoutine)(BOOL loading, const CLSID* clsid);

class CFactoryTemplate {
 public:
  const WCHAR* m_Name;
  const CLSID* m_ClsID;
  LPFNNewCOMObject m_lpfnNew;
  LPFNInitRoutine m_lpfnInit;
  const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

  bool IsClassID(REFCLSID clsid) const { return m_ClsID != nullptr && *m_ClsID == clsid; }
  CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr) const { return m_lpfnNew(outer, hr); }
};
