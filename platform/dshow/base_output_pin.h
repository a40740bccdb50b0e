// CBaseOutputPin: a pin that delivers media samples to a connected IMemInputPin.
//
// Connecting picks the allocator (DecideAllocator): the downstream pin's own allocator first,
// else a new CMemAllocator; DecideBufferSize sets its properties either way, and the downstream
// pin is told which one was chosen. Leaving the stopped state commits the allocator, entering it
// decommits it (a GetDeliveryBuffer waiting for a buffer then fails with VFW_E_NOT_COMMITTED).
// The Deliver* calls pass samples and stream events to the connected pin; without a connection
// they return VFW_E_NOT_CONNECTED.
#pragma once

#include "platform/dshow/base_pin.h"

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                 LPCWSTR name);
  ~CBaseOutputPin() override;

  // IPin: stream events come to input pins, never to an output pin (E_UNEXPECTED).
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

  // Requires an IMemInputPin on the other side.
  HRESULT CheckConnect(IPin* pin) override;
  // Chooses the allocator.
  HRESULT CompleteConnect(IPin* receivePin) override;
  // Decommits and releases the allocator and the downstream pin.
  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // New overridables, in slot order.
  // Sets the allocator's properties (SetProperties); `request` carries the downstream pin's
  // requirements.
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
  // A new CMemAllocator.
  virtual HRESULT InitAllocator(IMemAllocator** allocator);
  // A free buffer of the allocator (VFW_E_NO_ALLOCATOR before a connection), waiting for one
  // unless AM_GBF_NOWAIT is given.
  virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                    REFERENCE_TIME* stop, DWORD flags);
  // The downstream pin's Receive; the sample stays the caller's to release.
  virtual HRESULT Deliver(IMediaSample* sample);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  IMemAllocator* Allocator() const { return m_pAllocator; }
  IMemInputPin* ConnectedMemInputPin() const { return m_pInputPin; }

 protected:
  IMemAllocator* m_pAllocator = nullptr;  // counted
  IMemInputPin* m_pInputPin = nullptr;    // counted
};
