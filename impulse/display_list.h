// Display items of a RIFF file: top-level "DISP" chunks, each a 32-bit clipboard format followed
// by the item's bytes (chunk size = 4 + item size, padded to even). Impulse files carry a text
// item (format 1, ANSI text with its terminating zero) and a bitmap item (format 8, a
// device-independent bitmap shown beside the file in the file dialogs).
//
// A display list holds one item per format it was created with, in that order; loading fills
// the items whose format occurs in the file, saving writes one chunk per non-empty item. The
// item bytes are owned by the list. Functions return toolkit statuses (toolkit/status.h).
#pragma once

#include "impulse/riff.h"

constexpr DWORD kDisplayChunkId = NxFourCC('D', 'I', 'S', 'P');
constexpr DWORD kDisplayFormatText = 1;
constexpr DWORD kDisplayFormatBitmap = 8;
constexpr DWORD kDisplayListMaxItems = 4;

struct NxDisplayItem {
  DWORD format;
  DWORD size;  // bytes of the item, 0 when empty
  BYTE* data;  // null when empty
};

// Zero-initialise before first use.
struct NxDisplayList {
  DWORD count;
  NxDisplayItem items[kDisplayListMaxItems];
};

// The formats of the impulse files' display list: text before bitmap.
constexpr DWORD kImpulseDisplayFormats[2] = {kDisplayFormatText, kDisplayFormatBitmap};

// Makes `list` an empty list of the given formats (at most kDisplayListMaxItems), freeing what
// it held. E_INVALIDARG for a null list or too many formats.
NXSTATUS displist_Create(NxDisplayList* list, const DWORD* formats, DWORD count);

// Empties every item, then reads the file from its start: the first chunk must be "RIFF"
// (NX_E_NOTRIFF otherwise), then every top-level "DISP" chunk within the RIFF size whose format
// is one of the list's fills that item, a later chunk replacing an earlier one. Chunks of other
// formats, chunks too small to hold a format and a chunk that runs past the RIFF size are
// passed over; the search ends quietly where the chunk headers end. A chunk inside the RIFF
// size whose bytes the file does not hold is NX_E_READ; the items read before it stay.
NXSTATUS displist_Load(NxFileHandle file, NxDisplayList* list);

// Writes one "DISP" chunk per non-empty item, in list order, at the current position.
// `written` (optional) gets the bytes written, headers and pads included.
NXSTATUS displist_Save(NxFileHandle file, const NxDisplayList* list, DWORD* written);

// Replaces the bytes of the item `format` with a copy of `size` bytes (0 empties it).
// NX_E_NOTFOUND when the list has no such format, E_OUTOFMEMORY, E_INVALIDARG.
NXSTATUS displist_SetItem(NxDisplayList* list, DWORD format, const void* data, DWORD size);

// The item `format`, or null when the list has no such format.
const NxDisplayItem* displist_GetItem(const NxDisplayList* list, DWORD format);

// Frees every item's bytes and leaves an empty list of no formats.
void displist_Free(NxDisplayList* list);
