// User-visible texts by numeric identifier.
//
// The English texts are built in, in a table sorted by identifier. A language file beside the
// module replaces them: the module's file name with the extension "LNG", UTF-8 text of lines
// `id=text` (`\n`, `\t` and `\\` in a text stand for a line break, a tab and a backslash; lines
// starting with ';' or '#' are comments). It replaces only identifiers the table holds, and only
// with a text whose printf conversions are those of the English text in the same order, so a
// translated format never reads arguments its caller did not pass. Texts are UTF-16, never null,
// and stay valid for the life of the process, also after the table is closed or reopened.
// Lookups may run on any thread.
#pragma once

#include "platform/types.h"

constexpr UINT IDS_PAGE_GENERAL = 1;
constexpr UINT IDS_PAGE_ENVELOPE = 2;
constexpr UINT IDS_PAGE_RECOVER = 3;
constexpr UINT IDS_PAGE_SUMMARY = 4;
// Names of the built-in presets.
constexpr UINT IDS_PRESET_DEFAULT = 197;
constexpr UINT IDS_PRESET_HIGHEST_QUALITY = 198;
constexpr UINT IDS_PRESET_MONO_TO_STEREO = 199;
constexpr UINT IDS_PRESET_PREVIEW = 200;
// The page menu.
constexpr UINT IDS_MENU_PRESETS = 201;
constexpr UINT IDS_MENU_HELP = 202;
constexpr UINT IDS_MENU_ABOUT = 204;
// About box heading and title, each with the product name.
constexpr UINT IDS_ABOUT_HEADING = 211;
constexpr UINT IDS_ABOUT_TITLE = 218;
// Caption of the recovery messages.
constexpr UINT IDS_MESSAGE_CAPTION = 222;
// Progress window texts of recovery.
constexpr UINT IDS_PROGRESS_RECOVERING = 223;
constexpr UINT IDS_PROGRESS_RESAMPLING = 224;
// Processing status texts.
constexpr UINT IDS_STATUS_LOADING = 225;
constexpr UINT IDS_STATUS_INITIALIZING = 226;
constexpr UINT IDS_STATUS_STOPPING = 227;
constexpr UINT IDS_STATUS_PROCESSING = 228;
constexpr UINT IDS_STATUS_PREPARING = 229;
constexpr UINT IDS_STATUS_IMPULSE_NOT_FOUND = 230;
constexpr UINT IDS_IMPULSE_IN_PRESET = 231;
// Envelope pointer readout: level in percent, seconds and hundredths.
constexpr UINT IDS_ENVELOPE_POSITION = 232;
// Attributes of an impulse: sample rate (already formatted), channels, whole seconds and
// hundredths.
constexpr UINT IDS_IMPULSE_ATTRIBUTES = 233;
// Recovery messages.
constexpr UINT IDS_SECOND_SPIKE_LOW = 234;
constexpr UINT IDS_END_SPIKE_NOT_FOUND = 235;
constexpr UINT IDS_SPIKES_MISALIGNED = 236;
constexpr UINT IDS_FIRST_SPIKE_LOW = 237;
constexpr UINT IDS_RECOVERY_DONE = 238;
constexpr UINT IDS_TEST_FILE_READ_ERROR = 239;
constexpr UINT IDS_RECORDED_FILE_READ_ERROR = 240;
constexpr UINT IDS_RECORDED_FILE_TOO_LARGE = 242;
constexpr UINT IDS_FILES_NOT_SPECIFIED = 243;
constexpr UINT IDS_RECORDED_FILE_NOT_FOUND = 244;
constexpr UINT IDS_TEST_FILE_NOT_FOUND = 245;
constexpr UINT IDS_PACKAGE_ERROR = 246;
constexpr UINT IDS_OUT_OF_MEMORY = 247;
constexpr UINT IDS_NOT_A_TEST_FILE = 248;
constexpr UINT IDS_RECORDED_FILE_TOO_SMALL = 249;
constexpr UINT IDS_OUTPUT_WRITE_ERROR = 250;
// The header strip's help item.
constexpr UINT IDS_HELP_ITEM = 253;
// File dialog filters: description and pattern pairs, each followed by a tab that the caller
// turns into a terminator.
constexpr UINT IDS_FILTER_IMPULSE = 254;
constexpr UINT IDS_FILTER_WAVE = 255;
// File dialog titles.
constexpr UINT IDS_OPEN_IMPULSE_FILE = 257;
constexpr UINT IDS_SELECT_TEST_TONE_FILE = 258;
constexpr UINT IDS_SELECT_RECORDED_FILE = 259;
constexpr UINT IDS_SELECT_DESTINATION_FILE = 260;
constexpr UINT IDS_PRODUCT_NAME = 261;

// The text `id`, or an empty text for an identifier the table does not hold. Never null.
LPCWSTR NxGetString(UINT id);

// Opens the string set of the module at `modulePath`: the built-in texts, replaced by those of
// the language file beside it when there is one. Replaces an earlier open. Returns the number of
// texts the language file replaced (0 without one).
UINT NxOpenStringTable(LPCWSTR modulePath);

// Switches the string set: `translated` false selects the built-in texts; true selects those of
// the language file beside the module at `modulePath`, and fails, leaving the current texts, when
// there is no readable language file.
bool NxSwitchStringTable(LPCWSTR modulePath, bool translated);

// Back to the built-in texts.
void NxCloseStringTable();

// The language file of the module at `modulePath` (its extension, if any, replaced by ".LNG"),
// into `buffer` of `capacity` units; false when it does not fit.
bool NxLanguageFilePath(LPCWSTR modulePath, LPWSTR buffer, size_t capacity);
