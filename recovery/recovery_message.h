// Results of impulse recovery and the message each one shows.
#pragma once

#include "platform/types.h"
#include "recovery/recovery_sinks.h"

enum RecoveryResult : int {
  kRecoveryOk = 0,
  kRecoveryCancelled = 1,                // cancelled from the progress window: no message
  kRecoverySpikeQuestionCancel = -1253,  // Cancel at a timing-spike question: no message
  kRecoveryRecordingTooSmall = -1252,
  kRecoveryNoMemory = -1251,
  kRecoveryWriteFailed = -1250,
  kRecoveryNotATestFile = -1249,
  kRecoverySecondSpikeLow = -1248,
  kRecoveryEndSpikeNotFound = -1247,
  kRecoverySpikesMisaligned = -1246,
  kRecoveryFirstSpikeLow = -1245,
  kRecoveryTestReadFailed = -1243,
  kRecoveryRecordingReadFailed = -1242,
  kRecoveryRecordingTooLarge = -1240,
  kRecoveryNamesMissing = -1239,
  kRecoveryRecordingNotFound = -1238,
  kRecoveryTestNotFound = -1237,
  kRecoveryPackageFailed = 64300,  // shown by the Envelope page
};

// String ids of the recovery texts.
constexpr UINT IDS_RECOVERY_CAPTION = 222;
constexpr UINT IDS_RECOVERY_PROGRESS = 223;
constexpr UINT IDS_RECOVERY_RESAMPLING = 224;

// A text of the string table, or `english` when the table does not hold `id`.
LPCWSTR RecoveryString(UINT id, LPCWSTR english);

// The text that `code` shows (an empty text for an unknown code), or null for the codes that
// show nothing.
LPCWSTR RecoveryMessageText(int code);

// Shows the message of `code` through `sink` and returns its answer (Yes, No or Cancel for the
// three timing-spike questions, OK otherwise). Codes 1 and -1253 show nothing and return
// kRecoveryAnswerNone; an unknown code shows the caption over an empty text.
int ShowRecoveryMessage(RecoveryMessageSink& sink, int code);
