// Media type, subtype and format GUIDs and the class identifiers the base classes use, with their
// real values.
#pragma once

#include "platform/guid.h"

#if defined(_WIN32)
#include <cguid.h>
#include <strmif.h>
#include <uuids.h>
#else
inline constexpr GUID GUID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr GUID MEDIATYPE_NULL = GUID_NULL;
inline constexpr GUID MEDIASUBTYPE_NULL = GUID_NULL;

// Major types and the wave subtypes share the tail 0010-8000-00AA00389B71; Data1 holds the
// four-character code or the wave format tag.
#define NX_FOURCC_GUID(code) \
  { code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71} }
inline constexpr GUID MEDIATYPE_Video = NX_FOURCC_GUID(0x73646976);   // 'vids'
inline constexpr GUID MEDIATYPE_Audio = NX_FOURCC_GUID(0x73647561);   // 'auds'
inline constexpr GUID MEDIASUBTYPE_PCM = NX_FOURCC_GUID(0x00000001);  // WAVE_FORMAT_PCM
inline constexpr GUID MEDIASUBTYPE_IEEE_FLOAT = NX_FOURCC_GUID(0x00000003);
#undef NX_FOURCC_GUID

// {E436EB83-524F-11CE-9F53-0020AF0BA770}
inline constexpr GUID MEDIATYPE_Stream = {0xE436EB83, 0x524F, 0x11CE,
                                          {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// {E436EB8B-524F-11CE-9F53-0020AF0BA770}
inline constexpr GUID MEDIASUBTYPE_WAVE = {0xE436EB8B, 0x524F, 0x11CE,
                                           {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// {05589F81-C356-11CE-BF01-00AA0055595A}
inline constexpr GUID FORMAT_WaveFormatEx = {0x05589F81, 0xC356, 0x11CE,
                                             {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
// {0F6417D6-C318-11D0-A43F-00A0C9223196}
inline constexpr GUID FORMAT_None = {0x0F6417D6, 0xC318, 0x11D0,
                                     {0xA4, 0x3F, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// {1E651CC0-B199-11D0-8212-00C04FC32C45}
inline constexpr CLSID CLSID_MemoryAllocator = {0x1E651CC0, 0xB199, 0x11D0,
                                                {0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45}};
// {E436EBB3-524F-11CE-9F53-0020AF0BA770}
inline constexpr CLSID CLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE,
                                            {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// {083863F1-70DE-11D0-BD40-00A0C911CE86}
inline constexpr CLSID CLSID_LegacyAmFilterCategory = {
    0x083863F1, 0x70DE, 0x11D0, {0xBD, 0x40, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
#endif  // _WIN32
