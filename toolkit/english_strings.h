// The built-in English texts, sorted by identifier: the one source of the module's texts. The
// string table looks them up; the Windows build also generates the module's string resources
// from them, so no second copy exists.
#pragma once

#include <cstddef>

#include "platform/types.h"
#include "toolkit/string_table.h"

struct NxStringEntry {
  UINT id;
  LPCWSTR text;
};

inline constexpr NxStringEntry kNxEnglishStrings[] = {
    {IDS_PAGE_GENERAL, NXW("General")},
    {IDS_PAGE_ENVELOPE, NXW("Envelope")},
    {IDS_PAGE_RECOVER, NXW("Recover")},
    {IDS_PAGE_SUMMARY, NXW("Summary")},
    {IDS_PRESET_DEFAULT, NXW("(Default)")},
    {IDS_PRESET_HIGHEST_QUALITY, NXW("Reset, highest quality")},
    {IDS_PRESET_MONO_TO_STEREO, NXW("Reset, highest quality, with mono to stereo conversion")},
    {IDS_PRESET_PREVIEW, NXW("Reset, lower quality for real-time previewing")},
    {IDS_MENU_PRESETS, NXW("Presets")},
    {IDS_MENU_HELP, NXW("Help")},
    {IDS_MENU_ABOUT, NXW("About...")},
    {IDS_ABOUT_HEADING, NXW("%s Plug-In")},
    {IDS_ABOUT_TITLE, NXW("About %s")},
    {IDS_MESSAGE_CAPTION, NXW("Auralith")},
    {IDS_PROGRESS_RECOVERING, NXW("Recovering Impulse")},
    {IDS_PROGRESS_RESAMPLING, NXW("Resampling")},
    {IDS_STATUS_LOADING, NXW("Loading impulse...")},
    {IDS_STATUS_INITIALIZING, NXW("Initializing...")},
    {IDS_STATUS_STOPPING, NXW("Stopping processing...")},
    {IDS_STATUS_PROCESSING, NXW("[Processing]")},
    {IDS_STATUS_PREPARING, NXW("Preparing impulse...")},
    {IDS_STATUS_IMPULSE_NOT_FOUND, NXW("[Impulse not found]")},
    {IDS_IMPULSE_IN_PRESET, NXW("<Impulse is contained in preset>")},
    {IDS_ENVELOPE_POSITION, NXW("%d %% at %lu.%02lu Seconds")},
    {IDS_IMPULSE_ATTRIBUTES, NXW("%s Hz, %lu Channels, %lu.%02lu Seconds")},
    {IDS_SECOND_SPIKE_LOW,
     NXW("The level of the second spike is low.\n\nDo you wish to use it as a timing spike?")},
    {IDS_END_SPIKE_NOT_FOUND, NXW("The end spike was not found.")},
    {IDS_SPIKES_MISALIGNED, NXW("The left and right spikes found are misaligned.\n\nDo you "
                                "still want to use the timing spikes?")},
    {IDS_FIRST_SPIKE_LOW,
     NXW("The level of the first spike is low.\n\nDo you wish to use it as a timing spike?")},
    {IDS_RECOVERY_DONE,
     NXW("The recovered impulse was successfully output to the destination file.")},
    {IDS_TEST_FILE_READ_ERROR, NXW("An error occured reading the test file.")},
    {IDS_RECORDED_FILE_READ_ERROR, NXW("An error occured reading the recorded file.")},
    {IDS_RECORDED_FILE_TOO_LARGE,
     NXW("The selected recorded file is much larger than the test tone size. Make sure that "
         "you have trimmed the recorded file properly or selected the correct test tone file "
         "and Impulse recovery mode.")},
    {IDS_FILES_NOT_SPECIFIED, NXW("Before recovering an impulse, you must first specify a "
                                  "recorded file, test file, and impulse output file.")},
    {IDS_RECORDED_FILE_NOT_FOUND, NXW("The specified recorded file could not be found.")},
    {IDS_TEST_FILE_NOT_FOUND, NXW("The specified test file could not be found.")},
    {IDS_PACKAGE_ERROR, NXW("An error occured trying to package the preset.")},
    {IDS_OUT_OF_MEMORY,
     NXW("Insufficient memory. Try closing other applications. Make sure virtual memory is "
         "enabled and that you have sufficient swapfile disk space.")},
    {IDS_NOT_A_TEST_FILE,
     NXW("The selected file is not a valid test file. Please contact Quorvex for information "
         "regarding creating your own test files.")},
    {IDS_RECORDED_FILE_TOO_SMALL,
     NXW("The selected recorded file is much smaller than the test tone size. Make sure that "
         "you have trimmed the recorded file properly or selected the correct test tone "
         "file.")},
    {IDS_OUTPUT_WRITE_ERROR,
     NXW("An error occured while writing the output file. Please verify your available free "
         "disk space and write privileges.")},
    {IDS_HELP_ITEM, NXW("?")},
    {IDS_FILTER_IMPULSE, NXW("Impulse File (*.irx;*.wav)\t*.irx;*.wav\t")},
    {IDS_FILTER_WAVE, NXW("Microsoft Wave File (*.wav)\t*.wav\t")},
    {IDS_OPEN_IMPULSE_FILE, NXW("Open Impulse File")},
    {IDS_SELECT_TEST_TONE_FILE, NXW("Select Test Tone File")},
    {IDS_SELECT_RECORDED_FILE, NXW("Select Recorded File")},
    {IDS_SELECT_DESTINATION_FILE, NXW("Select Destination File")},
    {IDS_PRODUCT_NAME, NXW("Auralith")},
};
inline constexpr size_t kNxEnglishStringCount =
    sizeof kNxEnglishStrings / sizeof kNxEnglishStrings[0];

