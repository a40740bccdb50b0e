// CNxPlugInInputPin: the filter's input pin. It differs from a plain transform input pin only in
// how it judges a new input type while the output is already connected: a type the current
// output cannot follow is still accepted when the downstream pin would take it, because
// completing the connection then reconnects the output (CNxPlugIn::CompleteConnect).
#pragma once

#include "platform/dshow/transform_input_pin.h"

class CNxPlugIn;

class CNxPlugInInputPin : public CTransformInputPin {
 public:
  CNxPlugInInputPin(CNxPlugIn* filter, HRESULT* hr, LPCWSTR name);

  // CheckInputType; then, with the output connected, CheckTransform against the output's type,
  // and when that fails the downstream pin's QueryAccept of the new type (S_OK or S_FALSE).
  HRESULT CheckMediaType(const CMediaType* mediaType) override;

 private:
  CNxPlugIn* m_pPlugIn;
};
