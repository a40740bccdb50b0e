#include "frame/nx_plugin_input_pin.h"

#include "frame/nx_plugin.h"
#include "platform/dshow/transform_output_pin.h"

CNxPlugInInputPin::CNxPlugInInputPin(CNxPlugIn* filter, HRESULT* hr, LPCWSTR name)
    : CTransformInputPin("Auralith input pin", filter, hr, name), m_pPlugIn(filter) {}

HRESULT CNxPlugInInputPin::CheckMediaType(const CMediaType* mediaType) {
  HRESULT hr = m_pPlugIn->CheckInputType(mediaType);
  if (hr != S_OK) return hr;
  CTransformOutputPin* output = m_pPlugIn->OutputPin();
  if (output == nullptr || !output->IsConnected()) return S_OK;
  hr = m_pPlugIn->CheckTransform(mediaType, &output->CurrentMediaType());
  if (hr == S_OK) return S_OK;
  IPin* downstream = output->GetConnected();
  if (downstream == nullptr) return hr;
  return downstream->QueryAccept(mediaType);
}
