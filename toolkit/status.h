// The toolkit's 32-bit status codes, returned by the RIFF and summary functions.
//
// 0 is success; every failure is negative as a signed 32-bit number. Out of memory and a missing
// argument use the COM codes E_OUTOFMEMORY and E_INVALIDARG.
#pragma once

#include "platform/hresult.h"

typedef HRESULT NXSTATUS;

constexpr NXSTATUS NX_OK = 0;
constexpr NXSTATUS NX_E_READ = MakeHResult(0x8004E008);       // failed or short read
constexpr NXSTATUS NX_E_WRITE = MakeHResult(0x8004E009);      // failed or short write
constexpr NXSTATUS NX_E_NOTFOUND = MakeHResult(0x8004E00A);   // not within the remaining bytes
constexpr NXSTATUS NX_E_TOOBIG = MakeHResult(0x8004E03A);     // a size would pass its limit
constexpr NXSTATUS NX_E_NOTRIFF = MakeHResult(0x8004E080);    // file does not start with "RIFF"
constexpr NXSTATUS NX_E_NOTLIST = MakeHResult(0x8004E081);    // chunk is not a "LIST"
constexpr NXSTATUS NX_E_ZEROSIZE = MakeHResult(0x8004E082);   // a chunk size is zero
constexpr NXSTATUS NX_E_NEGATIVESIZE = MakeHResult(0x8004E083);  // a chunk size is negative
