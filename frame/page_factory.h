// Create functions of the four property pages' factory templates. The pages live in ui/pages/
// (the auralith_pages library, which the frame library links): the module's class table names
// them here so that the frame does not include the pages' headers.
#pragma once

#include "platform/dshow/cunknown.h"

// Each returns a new page, or null with E_OUTOFMEMORY in *hr.
CUnknown* NxCreateGeneralPage(IUnknown* outer, HRESULT* hr);   // dialog 101, "General"
CUnknown* NxCreateEnvelopePage(IUnknown* outer, HRESULT* hr);  // dialog 102, "Envelope"
CUnknown* NxCreateRecoverPage(IUnknown* outer, HRESULT* hr);   // dialog 103, "Recover"
CUnknown* NxCreateSummaryPage(IUnknown* outer, HRESULT* hr);   // dialog 115, "Summary"
