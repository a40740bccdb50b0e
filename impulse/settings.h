// The settings file "auralith.ini": tuning values, the last folder and file type of each file
// dialog, and the recently used lists of folders, impulse files and test tone files.
//
// Nothing is cached: every read goes to the file, and a missing or unreadable file gives the
// defaults. Paths and folders are at most 260 units including the terminator.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

constexpr LPCWSTR kNxSettingsFile = NXW("auralith.ini");
constexpr LPCWSTR kNxSettingsSection = NXW("Auralith");
// File type index of each dialog: its folder key with "Flt" appended.
constexpr LPCWSTR kNxDirectoriesSection = NXW("Directories");

// Recently used lists, one section each.
constexpr LPCWSTR kNxMruFolders = NXW("MRU Folders");
constexpr LPCWSTR kNxMruImpulseFiles = NXW("AL MRU List");
constexpr LPCWSTR kNxMruTestFiles = NXW("AL MRU Test File");

// Folder keys of the file dialogs.
constexpr LPCWSTR kNxImpulseLastDir = NXW("ImpulseLastDir");
constexpr LPCWSTR kNxSweepLastDir = NXW("SweepLastDir");
constexpr LPCWSTR kNxRecordedLastDir = NXW("RecordedLastDir");
constexpr LPCWSTR kNxDestLastDir = NXW("DestLastDir");

constexpr size_t kNxSettingsPathUnits = 260;

// An integer of section "Auralith" with its default and the range it is taken into.
struct NxIntSetting {
  LPCWSTR key;
  INT defaultValue;
  INT minimum;
  INT maximum;
};

// Longest impulse used, in frames.
constexpr NxIntSetting kNxMaxImpulseSize = {NXW("MaxImpulseSize"), 524287, 131071, 40000000};
// Timing-spike spacing of the test tone, in frames.
constexpr NxIntSetting kNxSpikeSpacing = {NXW("SpikeSpacing"), 150000, INT32_MIN, INT32_MAX};
// Low-cut frequency of recovery, in hertz.
constexpr NxIntSetting kNxLowCutFreq = {NXW("LowCutFreq"), 38, INT32_MIN, INT32_MAX};
// Timing-spike length, in frames.
constexpr NxIntSetting kNxSpikeLength = {NXW("SpikeLength"), 40, INT32_MIN, INT32_MAX};
// Longest impulse recovery writes, in frames (recovery also keeps it within what it computed).
constexpr NxIntSetting kNxMaxStoredImpulse = {NXW("MaxStoredImpulse"), 262144, 2, INT32_MAX};
// Frames recovery keeps ahead of the impulse's start.
constexpr NxIntSetting kNxImpulsePreSamples = {NXW("ImpulsePreSamples"), 1000, INT32_MIN,
                                               INT32_MAX};
// Sample format recovery writes: 32 float, 16 PCM, anything else chosen from the recording.
constexpr NxIntSetting kNxOutBits = {NXW("OutBits"), 0, INT32_MIN, INT32_MAX};

// The setting's stored value (a negative one as written) taken into its range, or its default.
INT NxSettings_GetInt(const NxIntSetting& setting);

// The folder the dialog of `folderKey` opens in: the stored folder when it is an existing
// folder, otherwise the module's own folder. Returns the units written (0 and an empty text
// when neither is known or fits in `capacity`).
DWORD NxSettings_GetFolder(LPCWSTR folderKey, LPWSTR folder, DWORD capacity);
// Remembers the folder of the file chosen in that dialog.
bool NxSettings_SetFolder(LPCWSTR folderKey, LPCWSTR folder);

// The file type index last chosen in the dialog of `folderKey` (default 0), and its update.
INT NxSettings_GetFilterIndex(LPCWSTR folderKey);
bool NxSettings_SetFilterIndex(LPCWSTR folderKey, INT index);

// What a dialog remembers when the user chose `path`: its folder under `folderKey` and the
// chosen type index.
bool NxSettings_RememberChoice(LPCWSTR folderKey, LPCWSTR path, INT filterIndex);

// ---- Recently used lists -----------------------------------------------------------------
//
// The list a box shows, first entry on top. The section keeps "DirMax" (the longest list) and
// the entries under "Dir0", "Dir1", ..., "Dir0" the oldest; the box shows the newest first.

typedef std::vector<std::basic_string<WCHAR>> NxMruBox;

enum class NxMruKind {
  Folders,  // accepts only existing folders
  Files,    // accepts only existing files that are not folders
};

// Longest list a section may ask for; larger "DirMax" values are taken as this.
constexpr UINT kNxMruLongest = 256;

// "DirMax" of the section: 0, missing or negative means 15.
UINT NxMru_GetMax(LPCWSTR section);

// Empties the box and fills it with the section's non-empty entries, newest first.
void NxMru_Load(LPCWSTR section, NxMruBox* box);

// Adds `path` as the newest entry: removes an equal entry (letter case aside), drops the oldest
// when the list is full, writes the list back and, for a file list, reloads the box. Returns
// the index of the new entry in the box (0), or -1 when the path was refused (or, for a folder
// list, when the box was not reloaded).
int NxMru_Add(NxMruBox* box, LPCWSTR section, LPCWSTR path, NxMruKind kind);

// ---- Save dialog -------------------------------------------------------------------------

// The extension a file type description names: from the first '.' after its '(' up to the
// first ')' or ';' (".wav" from "Microsoft Wave File (*.wav)"). Empty for a description
// without '(' or whose extension begins ".*".
std::basic_string<WCHAR> NxSaveDialogExtension(LPCWSTR description);

// The file name with the extension of the chosen type: the name's own extension (a '.' after
// its last folder separator onwards) is replaced. An empty name, or a type without an
// extension, leaves the name as it is.
std::basic_string<WCHAR> NxApplySaveExtension(LPCWSTR name, LPCWSTR description);
