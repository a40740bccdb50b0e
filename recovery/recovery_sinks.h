// What a recovery run shows to the user, reached through two small interfaces so that the
// Recover page (a progress dialog and message boxes) and the command line (text on a terminal)
// each present it in their own way.
#pragma once

#include "platform/types.h"

// The progress window of one run: opened once, advanced, closed once.
class RecoveryProgressSink {
 public:
  // Opens the window with `text` and a bar from 0 to `range`.
  virtual void Begin(LPCWSTR text, int range) = 0;
  virtual void SetRange(int low, int high) = 0;
  virtual void SetText(LPCWSTR text) = 0;
  // Moves the bar to `position` and lets the user interact; false once the user has cancelled
  // (and from then on for the rest of the run).
  virtual bool Step(int position) = 0;
  virtual void End() = 0;

 protected:
  ~RecoveryProgressSink() = default;
};

// Message box styles, with the values of the platform's message box flags so that a window
// implementation hands them on unchanged.
constexpr UINT kRecoveryBoxOk = 0x0000;               // MB_OK
constexpr UINT kRecoveryBoxYesNoCancel = 0x0003;      // MB_YESNOCANCEL
constexpr UINT kRecoveryBoxQuestionIcon = 0x0020;     // MB_ICONQUESTION
constexpr UINT kRecoveryBoxInformationIcon = 0x0040;  // MB_ICONINFORMATION
constexpr UINT kRecoveryBoxSecondDefault = 0x0100;    // MB_DEFBUTTON2: "No" is the default

constexpr UINT kRecoveryBoxPlain = kRecoveryBoxOk;
constexpr UINT kRecoveryBoxInformation = kRecoveryBoxOk | kRecoveryBoxInformationIcon;
constexpr UINT kRecoveryBoxQuestion =
    kRecoveryBoxYesNoCancel | kRecoveryBoxQuestionIcon | kRecoveryBoxSecondDefault;

// Answers, with the values of the platform's dialog results (IDOK, IDCANCEL, IDYES, IDNO).
constexpr int kRecoveryAnswerNone = 0;  // nothing was shown
constexpr int kRecoveryAnswerOk = 1;
constexpr int kRecoveryAnswerCancel = 2;
constexpr int kRecoveryAnswerYes = 6;
constexpr int kRecoveryAnswerNo = 7;

class RecoveryMessageSink {
 public:
  // Shows `text` under `caption` in the given style; returns one of the answers above.
  virtual int Show(LPCWSTR text, LPCWSTR caption, UINT style) = 0;

 protected:
  ~RecoveryMessageSink() = default;
};
