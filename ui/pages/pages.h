// The four property pages' create functions, which the module's class table (module/) names.
#pragma once

#include "platform/dshow/cunknown.h"

// Each returns a new page, or null with E_OUTOFMEMORY in *hr.
CUnknown* NxCreateGeneralPage(IUnknown* outer, HRESULT* hr);   // dialog 101, "General"
CUnknown* NxCreateEnvelopePage(IUnknown* outer, HRESULT* hr);  // dialog 102, "Envelope"
CUnknown* NxCreateRecoverPage(IUnknown* outer, HRESULT* hr);   // dialog 103, "Recover"
CUnknown* NxCreateSummaryPage(IUnknown* outer, HRESULT* hr);   // dialog 115, "Summary"
