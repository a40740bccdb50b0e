// CUnknown: reference counting, interface lookup and aggregation for the base classes.
//
// An object answers IUnknown on two sides. The non-delegating side (NonDelegatingQueryInterface,
// NonDelegatingAddRef, NonDelegatingRelease) owns the object's count and lifetime. The IUnknown
// methods of every interface the object implements go to the owner (DECLARE_IUNKNOWN): the outer
// object when this one is aggregated, otherwise this object's own non-delegating side. So an
// aggregated object's interfaces all count on the outer object, and only the outer object holds
// the inner's non-delegating IUnknown (NonDelegatingUnknown()).
#pragma once

#include "platform/interlocked.h"
#include "platform/unknown.h"

struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;

 protected:
  ~INonDelegatingUnknown() = default;
};

class CUnknown : public INonDelegatingUnknown {
 public:
  // `objectName` is kept for debugging only. `outer` null makes a stand-alone object.
  CUnknown(const char* objectName, IUnknown* outer);
  CUnknown(const CUnknown&) = delete;
  CUnknown& operator=(const CUnknown&) = delete;

  // Answers IID_IUnknown with the non-delegating side; derived classes answer their
  // interfaces first and call this last.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  // Deletes the object when the count reaches zero.
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;
  virtual ~CUnknown();

  // Where the IUnknown methods of this object's interfaces go.
  IUnknown* GetOwner() const { return m_owner; }
  // The non-delegating side as an IUnknown, for an aggregating outer object to hold.
  IUnknown* NonDelegatingUnknown() { return &m_inner; }
  const char* ObjectName() const { return m_objectName; }

  // Objects of CUnknown-derived classes alive in the process (the module may unload at 0).
  static LONG ObjectsActive();

 protected:
  volatile LONG m_cRef = 0;

 private:
  // The non-delegating side seen through the IUnknown layout.
  class Inner final : public IUnknown {
   public:
    explicit Inner(CUnknown* object) : m_object(object) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
      return m_object->NonDelegatingQueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_object->NonDelegatingAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_object->NonDelegatingRelease(); }

   private:
    CUnknown* m_object;
  };

  const char* m_objectName;
  Inner m_inner;
  IUnknown* m_owner;
};

// Hands out `unknown` through `object` with a reference added; E_POINTER when `object` is null.
HRESULT GetInterface(IUnknown* unknown, void** object);

// IUnknown methods of a CUnknown-derived class: every call goes to the owner.
#define DECLARE_IUNKNOWN                                                                 \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {        \
    return GetOwner()->QueryInterface(riid, object);                                     \
  }                                                                                      \
  ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }             \
  ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }
