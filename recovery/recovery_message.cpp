#include "recovery/recovery_message.h"

#include "toolkit/string_table.h"

namespace {

struct RecoveryMessage {
  int code;
  UINT stringId;
  UINT style;
  LPCWSTR english;
};

constexpr RecoveryMessage kMessages[] = {
    {kRecoveryOk, 238, kRecoveryBoxPlain,
     NXW("The recovered impulse was successfully output to the destination file.")},
    {kRecoveryRecordingTooSmall, 249, kRecoveryBoxInformation,
     NXW("The selected recorded file is much smaller than the test tone size. Make sure that you "
         "have trimmed the recorded file properly or selected the correct test tone file.")},
    {kRecoveryNoMemory, 247, kRecoveryBoxInformation,
     NXW("Insufficient memory. Try closing other applications. Make sure virtual memory is "
         "enabled and that you have sufficient swapfile disk space.")},
    {kRecoveryWriteFailed, 250, kRecoveryBoxInformation,
     NXW("An error occured while writing the output file. Please verify your available free disk "
         "space and write privileges.")},
    {kRecoveryNotATestFile, 248, kRecoveryBoxInformation,
     NXW("The selected file is not a valid test file. Please contact Quorvex for information "
         "regarding creating your own test files.")},
    {kRecoverySecondSpikeLow, 234, kRecoveryBoxQuestion,
     NXW("The level of the second spike is low.\n\nDo you wish to use it as a timing spike?")},
    {kRecoveryEndSpikeNotFound, 235, kRecoveryBoxInformation, NXW("The end spike was not found.")},
    {kRecoverySpikesMisaligned, 236, kRecoveryBoxQuestion,
     NXW("The left and right spikes found are misaligned.\n\nDo you still want to use the timing "
         "spikes?")},
    {kRecoveryFirstSpikeLow, 237, kRecoveryBoxQuestion,
     NXW("The level of the first spike is low.\n\nDo you wish to use it as a timing spike?")},
    {kRecoveryTestReadFailed, 239, kRecoveryBoxInformation,
     NXW("An error occured reading the test file.")},
    {kRecoveryRecordingReadFailed, 240, kRecoveryBoxInformation,
     NXW("An error occured reading the recorded file.")},
    {kRecoveryRecordingTooLarge, 242, kRecoveryBoxInformation,
     NXW("The selected recorded file is much larger than the test tone size. Make sure that you "
         "have trimmed the recorded file properly or selected the correct test tone file and "
         "Impulse recovery mode.")},
    {kRecoveryNamesMissing, 243, kRecoveryBoxInformation,
     NXW("Before recovering an impulse, you must first specify a recorded file, test file, and "
         "impulse output file.")},
    {kRecoveryRecordingNotFound, 244, kRecoveryBoxInformation,
     NXW("The specified recorded file could not be found.")},
    {kRecoveryTestNotFound, 245, kRecoveryBoxInformation,
     NXW("The specified test file could not be found.")},
    {kRecoveryPackageFailed, 246, kRecoveryBoxInformation,
     NXW("An error occured trying to package the preset.")},
};

const RecoveryMessage* FindMessage(int code) {
  for (const RecoveryMessage& message : kMessages) {
    if (message.code == code) return &message;
  }
  return nullptr;
}

}  // namespace

LPCWSTR RecoveryString(UINT id, LPCWSTR english) {
  LPCWSTR text = NxGetString(id);
  return text[0] != 0 ? text : english;
}

LPCWSTR RecoveryMessageText(int code) {
  if (code == kRecoveryCancelled || code == kRecoverySpikeQuestionCancel) return nullptr;
  const RecoveryMessage* message = FindMessage(code);
  return message ? RecoveryString(message->stringId, message->english) : NXW("");
}

int ShowRecoveryMessage(RecoveryMessageSink& sink, int code) {
  LPCWSTR text = RecoveryMessageText(code);
  if (text == nullptr) return kRecoveryAnswerNone;
  const RecoveryMessage* message = FindMessage(code);
  return sink.Show(text, RecoveryString(IDS_RECOVERY_CAPTION, NXW("Auralith")),
                   message ? message->style : kRecoveryBoxInformation);
}
