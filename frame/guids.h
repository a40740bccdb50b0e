// Class identifiers of the filter and its four property pages, and the identifiers of the
// filter's own preset and translation interfaces.
#pragma once

#include "platform/guid.h"

// {6D41C280-3F7B-11D0-B5E2-00AA004E7C19}
inline constexpr CLSID CLSID_NxPlugIn = {0x6D41C280, 0x3F7B, 0x11D0,
                                         {0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19}};
// {6D41C281-3F7B-11D0-B5E2-00AA004E7C19}: page 1, General.
inline constexpr CLSID CLSID_NxGeneralPage = {0x6D41C281, 0x3F7B, 0x11D0,
                                              {0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19}};
// {6D41C282-3F7B-11D0-B5E2-00AA004E7C19}: page 2, Envelope.
inline constexpr CLSID CLSID_NxEnvelopePage = {0x6D41C282, 0x3F7B, 0x11D0,
                                               {0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19}};
// {2F9A8B30-8E14-11D0-A7C4-00AA0058D3E6}: page 3, Recover.
inline constexpr CLSID CLSID_NxRecoverPage = {0x2F9A8B30, 0x8E14, 0x11D0,
                                              {0xA7, 0xC4, 0x00, 0xAA, 0x00, 0x58, 0xD3, 0xE6}};
// {8B3D61E0-F2A7-11D0-A7C4-00AA0058D3E6}: page 4, Summary.
inline constexpr CLSID CLSID_NxSummaryPage = {0x8B3D61E0, 0xF2A7, 0x11D0,
                                              {0xA7, 0xC4, 0x00, 0xAA, 0x00, 0x58, 0xD3, 0xE6}};

// {1C7E3B50-0D4A-11D0-9F26-00A0C90A4417}
inline constexpr IID IID_IStaticFilterPreset = {0x1C7E3B50, 0x0D4A, 0x11D0,
                                                {0x9F, 0x26, 0x00, 0xA0, 0xC9, 0x0A, 0x44, 0x17}};
// {5B81D0F6-3C29-4A7E-8D14-61E9A2C7B350}
inline constexpr IID IID_INxTranslationInfo = {0x5B81D0F6, 0x3C29, 0x4A7E,
                                               {0x8D, 0x14, 0x61, 0xE9, 0xA2, 0xC7, 0xB3, 0x50}};
