// COM result codes with their real values.
//
// Bit 31 is failure, bits 16..26 the facility, bits 0..15 the code. Success codes other than
// S_OK (S_FALSE, VFW_S_NO_MORE_ITEMS) still pass SUCCEEDED().
#pragma once

#include "platform/types.h"

#if defined(_WIN32)
#include "platform/win32_sdk.h"
#include <vfwmsgs.h>

constexpr HRESULT MakeHResult(uint32_t value) { return static_cast<HRESULT>(value); }

// Every code below is a macro of the SDK there (winerror.h, vfwmsgs.h).
#else
typedef int32_t HRESULT;

constexpr HRESULT MakeHResult(uint32_t value) { return static_cast<HRESULT>(value); }

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT S_OK = MakeHResult(0x00000000);
constexpr HRESULT S_FALSE = MakeHResult(0x00000001);

// Generic failures.
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
constexpr HRESULT E_HANDLE = MakeHResult(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);

// Class factory and registration.
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);

// Structured storage and streams.
constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHResult(0x80030001);
constexpr HRESULT STG_E_FILENOTFOUND = MakeHResult(0x80030002);
constexpr HRESULT STG_E_ACCESSDENIED = MakeHResult(0x80030005);
constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MakeHResult(0x80030008);
constexpr HRESULT STG_E_INVALIDPOINTER = MakeHResult(0x80030009);
constexpr HRESULT STG_E_SEEKERROR = MakeHResult(0x80030019);
constexpr HRESULT STG_E_WRITEFAULT = MakeHResult(0x8003001D);
constexpr HRESULT STG_E_READFAULT = MakeHResult(0x8003001E);
constexpr HRESULT STG_E_INVALIDPARAMETER = MakeHResult(0x80030057);
constexpr HRESULT STG_E_MEDIUMFULL = MakeHResult(0x80030070);
constexpr HRESULT STG_E_INVALIDHEADER = MakeHResult(0x800300FB);

// DirectShow (facility ITF, codes 0x200 and up).
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHResult(0x80040200);
constexpr HRESULT VFW_E_NEED_OWNER = MakeHResult(0x80040202);
constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = MakeHResult(0x80040203);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHResult(0x80040204);
constexpr HRESULT VFW_E_NO_TYPES = MakeHResult(0x80040206);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHResult(0x80040207);
constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHResult(0x80040208);
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHResult(0x80040209);
constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHResult(0x8004020A);
constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeHResult(0x8004020B);
constexpr HRESULT VFW_E_BUFFER_NOTSET = MakeHResult(0x8004020C);
constexpr HRESULT VFW_E_BADALIGN = MakeHResult(0x8004020E);
constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHResult(0x8004020F);
constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHResult(0x80040210);
constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHResult(0x80040211);
constexpr HRESULT VFW_E_SIZENOTSET = MakeHResult(0x80040212);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHResult(0x80040216);
constexpr HRESULT VFW_E_NOT_STOPPED = MakeHResult(0x80040224);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHResult(0x80040227);
constexpr HRESULT VFW_E_START_TIME_AFTER_END = MakeHResult(0x80040228);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHResult(0x8004022A);
constexpr HRESULT VFW_E_SAMPLE_REJECTED = MakeHResult(0x8004022B);
constexpr HRESULT VFW_E_TIMEOUT = MakeHResult(0x8004022E);
constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHResult(0x80040249);
constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHResult(0x80040251);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHResult(0x8004025F);
constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHResult(0x00040103);
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHResult(0x00040237);
constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHResult(0x00040270);

// More DirectShow codes used by the base classes.
constexpr HRESULT VFW_E_INVALIDSUBTYPE = MakeHResult(0x80040201);
constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHResult(0x8004020D);
constexpr HRESULT VFW_E_NO_CLOCK = MakeHResult(0x80040213);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHResult(0x80040217);
constexpr HRESULT VFW_E_NOT_PAUSED = MakeHResult(0x80040225);
constexpr HRESULT VFW_E_NOT_RUNNING = MakeHResult(0x80040226);
constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = MakeHResult(0x8004022C);
#endif  // _WIN32
