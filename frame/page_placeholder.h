// CNxPagePlaceholder: what the class factory makes for the four property pages until the pages
// themselves exist — an object that answers IUnknown only, so hosts and registration see a
// creatable class that offers no page interface (registration skips it: no IAMovieSetup).
#pragma once

#include "platform/dshow/cunknown.h"

class CNxPagePlaceholder : public CUnknown {
 public:
  explicit CNxPagePlaceholder(IUnknown* outer);

  // Create functions of the factory templates, one per page; null with E_OUTOFMEMORY in *hr.
  static CUnknown* CreateGeneralPage(IUnknown* outer, HRESULT* hr);
  static CUnknown* CreateEnvelopePage(IUnknown* outer, HRESULT* hr);
  static CUnknown* CreateRecoverPage(IUnknown* outer, HRESULT* hr);
  static CUnknown* CreateSummaryPage(IUnknown* outer, HRESULT* hr);
};
