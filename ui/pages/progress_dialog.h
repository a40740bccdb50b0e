// The progress window of a recovery (dialog 114) as recovery sees it: a bar that advances, a
// text, and a Cancel that the user may press (the button or Escape) while each step lets one
// pending message through.
#pragma once

#include "recovery/recovery_sinks.h"
#include "ui/pages/dialog.h"

class NxProgressDialog final : public RecoveryProgressSink, private NxProgressEvents {
 public:
  explicit NxProgressDialog(NxDialog* owner) : m_owner(owner) {}
  ~NxProgressDialog();
  NxProgressDialog(const NxProgressDialog&) = delete;
  NxProgressDialog& operator=(const NxProgressDialog&) = delete;

  void Begin(LPCWSTR text, int range) override;
  void SetRange(int low, int high) override;
  void SetText(LPCWSTR text) override;
  // Dispatches one pending message, moves the bar and its "%d %%" text; false once cancelled.
  bool Step(int position) override;
  void End() override;

  bool cancelled() const { return m_cancel; }

 private:
  void OnProgressCancel() override { m_cancel = true; }
  NxDialog* m_owner;
  NxProgressWindow* m_window = nullptr;
  LONG m_low = 0;
  LONG m_high = 0;
  LONG m_position = 0;
  bool m_cancel = false;
};
