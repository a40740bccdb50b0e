#include "frame/page_placeholder.h"

#include <new>

namespace {

CUnknown* Create(IUnknown* outer, HRESULT* hr) {
  CNxPagePlaceholder* page = new (std::nothrow) CNxPagePlaceholder(outer);
  if (hr != nullptr) *hr = page != nullptr ? S_OK : E_OUTOFMEMORY;
  return page;
}

}  // namespace

CNxPagePlaceholder::CNxPagePlaceholder(IUnknown* outer) : CUnknown("property page", outer) {}

CUnknown* CNxPagePlaceholder::CreateGeneralPage(IUnknown* outer, HRESULT* hr) {
  return Create(outer, hr);
}

CUnknown* CNxPagePlaceholder::CreateEnvelopePage(IUnknown* outer, HRESULT* hr) {
  return Create(outer, hr);
}

CUnknown* CNxPagePlaceholder::CreateRecoverPage(IUnknown* outer, HRESULT* hr) {
  return Create(outer, hr);
}

CUnknown* CNxPagePlaceholder::CreateSummaryPage(IUnknown* outer, HRESULT* hr) {
  return Create(outer, hr);
}
