// RIFF chunk input and output on an open platform file.
//
// The functions keep no state: the file position is the cursor. A chunk is a FOURCC identifier,
// a 32-bit little-endian size and that many data bytes, followed by one pad byte when the size
// is odd; the size never counts the header or the pad. "RIFF" holds a form type and chunks,
// "LIST" a list type and subchunks. Positions and sizes are unsigned 32-bit (files up to 4 GB):
// a seek that would leave 0 .. 0xFFFFFFFF fails.
//
// Searches that must stay inside a container take `remaining`, the bytes of the container left
// from the current position; it is reduced as the search goes and handed back. A null
// `remaining` searches until a read fails.
//
// Every function returns a toolkit status (toolkit/status.h): 0, or NX_E_READ for a failed or
// short read (a failed seek in a read path included), NX_E_WRITE for a failed write or seek in a
// write path, NX_E_NOTFOUND, NX_E_TOOBIG, NX_E_NOTRIFF, NX_E_NOTLIST, NX_E_NEGATIVESIZE,
// E_OUTOFMEMORY, E_INVALIDARG (a null file or a required output missing). On a failure the
// position is wherever the failing step left it, unless the function says it restores it.
#pragma once

#include "platform/file.h"
#include "toolkit/status.h"

// Identifier of four ASCII characters in file order, as one little-endian word.
constexpr DWORD NxFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) |
         (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
         (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) |
         (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}

constexpr DWORD kRiffChunkId = NxFourCC('R', 'I', 'F', 'F');
constexpr DWORD kListChunkId = NxFourCC('L', 'I', 'S', 'T');
constexpr DWORD kInfoListType = NxFourCC('I', 'N', 'F', 'O');

// Chunk data read by riff_ReadDataAlloc; the bytes are owned by the record.
struct RiffData {
  DWORD size;
  BYTE* data;
};

// --- Reading and searching ----------------------------------------------------------------

// Reads "RIFF", its size and the form type at the current position. `bodySize` (optional) is set
// to 0 first and, once the identifier is "RIFF", to size - 4 (the bytes behind the form type; 0
// when the size is below 4). `formType` is optional. NX_E_READ on a short read, NX_E_NOTRIFF for
// any other identifier (the 8 header bytes have been read then).
NXSTATUS riff_ReadFileID(NxFileHandle file, DWORD* bodySize, DWORD* formType);

// Reads the 8-byte chunk header at the current position; both outputs are optional.
NXSTATUS riff_ReadChunkHeader(NxFileHandle file, DWORD* id, DWORD* size);

// Searches this level from the current position for a chunk `id` (lists are not entered). Found:
// `size` (optional) gets its size, `remaining` loses the 8 header bytes and the position is at
// its data. Each chunk passed costs 8 plus its padded size (`remaining` stops at 0). Fewer than
// 8 bytes remaining: NX_E_NOTFOUND at once, without reading.
NXSTATUS riff_FindChunkHeader(NxFileHandle file, DWORD id, DWORD* size, DWORD* remaining);

// Seeks to the start of the file, reads the RIFF header and searches the top level within the
// body. `remaining` (optional) gets what is left of the body behind the found header, or at the
// failure.
NXSTATUS riff_FindChunkHeaderInRIFF(NxFileHandle file, DWORD id, DWORD* size, DWORD* remaining);

// Finds the next "LIST" of `listType` at this level. Found: `size` (optional) gets the bytes of
// its subchunks (list size - 4), `remaining` loses 12 and the position is at the first
// subchunk. A LIST of another type is passed over whole; one too small to hold a list type is
// passed over as an ordinary chunk. NX_E_NOTFOUND when fewer than 4 bytes remain for the type.
NXSTATUS riff_FindListChunk(NxFileHandle file, DWORD listType, DWORD* size, DWORD* remaining);

// Counts the subchunks from the current position while at least 8 bytes remain, each costing 8
// plus its padded size. `remaining` is required and comes back reduced. The position is
// restored afterwards, also on failure.
NXSTATUS riff_GetNumListEntries(NxFileHandle file, DWORD* count, DWORD* remaining);

// Reads exactly `size` bytes and, when `size` is odd, steps over the pad byte.
NXSTATUS riff_ReadData(NxFileHandle file, void* buffer, DWORD size);

// Allocates record->size zero-filled bytes and reads them with riff_ReadData. Size 0 gives a null
// pointer and success. A size beyond the end of the file is a read failure found before anything
// is allocated; on any failure record->data is null. Free the bytes with riff_FreeData.
NXSTATUS riff_ReadDataAlloc(NxFileHandle file, RiffData* record);
void riff_FreeData(RiffData* record);

// Reads a chunk header that must be "LIST" (NX_E_NOTLIST otherwise), then its list type. `size`
// gets the list size - 4; a LIST smaller than its type is NX_E_NEGATIVESIZE. Outputs optional.
NXSTATUS riff_ReadListHeader(NxFileHandle file, DWORD* listType, DWORD* size);

// With the position at the data of a chunk of `*size` bytes holding ANSI text: reads
// min(size, capacity) bytes, makes the last of them the terminator, converts to UTF-16 into
// `text` (`capacity` units), and moves past the chunk data and its pad. `*size` comes back as the
// bytes moved over (the padded size). Size 0 gives an empty text; capacity 0 is E_INVALIDARG.
NXSTATUS riff_ReadANSIString(NxFileHandle file, WCHAR* text, DWORD capacity, DWORD* size);

// Seeks forward `size` rounded up to even; `skipped` (optional) gets that amount.
NXSTATUS riff_SkipChunk(NxFileHandle file, DWORD size, DWORD* skipped);

NXSTATUS riff_SaveLocation(NxFileHandle file, DWORD* position);
NXSTATUS riff_RestoreLocation(NxFileHandle file, DWORD position);
// Positions at byte 12, the first chunk behind the form type.
NXSTATUS riff_SeekDataStart(NxFileHandle file);

// 0 for a usable chunk size, NX_E_ZEROSIZE for 0, NX_E_NEGATIVESIZE when it is negative as a
// signed 32-bit number.
NXSTATUS riff_ValidateChunkHeader(DWORD size);

// --- Writing --------------------------------------------------------------------------------

NXSTATUS riff_WriteChunkHeader(NxFileHandle file, DWORD id, DWORD size);

// Header, data, and a zero pad byte when `size` is odd; `total` (optional) gets 8 + padded size.
// NX_E_TOOBIG when that total would not fit in 32 bits.
NXSTATUS riff_WriteChunk(NxFileHandle file, DWORD id, const void* data, DWORD size, DWORD* total);

// "LIST", `size` (the chunk size: list type and subchunks), then the list type.
NXSTATUS riff_WriteListHeader(NxFileHandle file, DWORD listType, DWORD size);

// "RIFF", `size`, the form type.
NXSTATUS riff_WriteFileID(NxFileHandle file, DWORD formType, DWORD size);

// Adds `delta` (negative to shrink) to the RIFF size at byte 4 and returns to the position it
// was called at, in every case. A result of 0xFFFFFFF8 or more cuts the file back to the old
// RIFF size + 8 (dropping what was appended, never lengthening the file) and fails with
// NX_E_TOOBIG; a result below 0 changes nothing and fails with NX_E_NEGATIVESIZE.
NXSTATUS riff_UpdateRIFFSize(NxFileHandle file, LONGLONG delta);

// Writes `size` at byte 4 and restores the position.
NXSTATUS riff_SetRIFFSize(NxFileHandle file, DWORD size);

// Removes the top-level chunk `id` (with `isList`, the "LIST" whose list type is `id`): moves
// every later byte down over it, shortens the file and lowers the RIFF size. `removed` (optional)
// gets the bytes removed: 8 + padded size (+ 4 for a list), or less when the chunk claims more
// than the file holds. The position is left at the new end of the file.
NXSTATUS riff_DeleteChunk(NxFileHandle file, DWORD id, DWORD* removed, bool isList);

// Writes `text` as ANSI text with its terminator, padded to even; `size` (optional) gets the
// bytes written including the pad. A null text is written as empty text.
NXSTATUS riff_WriteANSIString(NxFileHandle file, LPCWSTR text, DWORD* size);
