// INFO summaries: the descriptive texts (title, author, copyright, comments) that impulse and
// wave files carry in a "LIST" of type "INFO".
//
// In the file each item is a subchunk: its INFO identifier, a 32-bit size, the text as ANSI
// (Windows-1252) bytes with one terminating zero counted by the size, and a pad byte when the
// size is odd. In memory the texts are UTF-16, owned by the record, in the order of the file.
// Functions return toolkit statuses (toolkit/status.h) and the codes of impulse/riff.h.
#pragma once

#include "impulse/riff.h"

constexpr DWORD kInfoTitle = NxFourCC('I', 'N', 'A', 'M');
constexpr DWORD kInfoAuthor = NxFourCC('I', 'E', 'N', 'G');
constexpr DWORD kInfoCopyright = NxFourCC('I', 'C', 'O', 'P');
constexpr DWORD kInfoComments = NxFourCC('I', 'C', 'M', 'T');
// An item whose text becomes the text display item of an impulse file made from the file.
constexpr DWORD kInfoDisplayText = NxFourCC('D', 'I', 'S', 'P');

struct NxSummaryItem {
  DWORD id;
  WCHAR* text;  // zero-terminated; may be null in a record built by hand (then never saved)
};

// Zero-initialise before first use; an empty record has count 0 and no array.
struct NxSummary {
  DWORD count;
  NxSummaryItem* items;
};

// From the current position, finds the INFO list (bounded by `*remaining` when given), then the
// item `id` inside it, and converts its text into `text` (`capacity` units, cut to capacity - 1
// and always terminated). The position is restored in every case. Missing list or item: the
// search's status (NX_E_NOTFOUND, or NX_E_READ at the end of an unbounded search) and an empty
// text. An item larger than what the file holds is NX_E_READ.
NXSTATUS NxSummary_GetStringFromFile(NxFileHandle file, DWORD id, WCHAR* text, DWORD capacity,
                                     DWORD* remaining);

// With the position at the first subchunk of an INFO list and `remaining` its size less the
// list type: reads every item into `summary`, which is overwritten. Any failure leaves it empty.
// A null summary or a zero `remaining` is E_INVALIDARG.
NXSTATUS NxSummary_Load(NxFileHandle file, NxSummary* summary, DWORD remaining);

// Writes the items with text as a "LIST" "INFO" at the current position and leaves the position
// behind it; `written` (optional) gets the bytes written (list size + 8). An empty record writes
// nothing and reports 0. A failure may leave a partly written list for the caller to discard.
NXSTATUS NxSummary_Save(NxFileHandle file, const NxSummary* summary, DWORD* written);

// The text of the first item `id`, or null.
LPCWSTR NxSummary_GetItemText(const NxSummary* summary, DWORD id);

// Frees every text and the array, leaving an empty record.
void NxSummary_Free(NxSummary* summary);

// --- Texts shown beside a file (file dialogs and pages) --------------------------------------

// Each text is cut to 127 characters.
constexpr DWORD kNxSummaryDisplayChars = 128;

// Order of the file dialogs' information panel, and of the Envelope and Summary pages.
constexpr DWORD kDialogSummaryItems[4] = {kInfoTitle, kInfoAuthor, kInfoCopyright, kInfoComments};
constexpr DWORD kPageSummaryItems[3] = {kInfoComments, kInfoAuthor, kInfoCopyright};

// Reads `count` items of a RIFF file open at any position: each search starts behind the RIFF
// header with the whole body as its bound, so the lookups do not depend on one another. An item
// that is missing or unreadable, or every item of a file that is not RIFF, gives an empty text.
void NxSummary_ReadDisplayTexts(NxFileHandle file, const DWORD* ids, size_t count,
                                WCHAR (*texts)[kNxSummaryDisplayChars]);

// As above on the file at `path`, opened for reading and closed again. False, with every text
// empty, when the file cannot be opened.
bool NxSummary_ReadDisplayTextsFromPath(LPCWSTR path, const DWORD* ids, size_t count,
                                        WCHAR (*texts)[kNxSummaryDisplayChars]);
