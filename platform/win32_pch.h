// Precompiled header of the Windows build only (CMake's target_precompile_headers): the SDK
// headers that platform/ includes, parsed once per target instead of once per file. Sources
// never include it; each still includes what it uses.
#pragma once

#include "platform/win32_sdk.h"

#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <objbase.h>
#include <ocidl.h>
#include <strmif.h>
#include <uuids.h>

#include <mutex>
#include <string>
#include <vector>
