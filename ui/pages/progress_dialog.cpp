#include "ui/pages/progress_dialog.h"

#include "ui/pages/page_text.h"

NxProgressDialog::~NxProgressDialog() { End(); }

void NxProgressDialog::Begin(LPCWSTR text, int range) {
  End();
  low_ = 0;
  high_ = range;
  position_ = 0;
  cancel_ = false;
  window_ = owner_->OpenProgressWindow(this);
  if (window_ == nullptr) return;  // the run goes on without a window to show it
  window_->SetText(text);
  window_->SetBarText(text);
  window_->SetBar(0, range, 0);
}

void NxProgressDialog::SetRange(int low, int high) {
  low_ = low;
  high_ = high;
  if (window_ != nullptr) window_->SetBar(0, high_ - low_, position_ - low_);
}

void NxProgressDialog::SetText(LPCWSTR text) {
  if (window_ != nullptr) window_->SetText(text);
}

bool NxProgressDialog::Step(int position) {
  if (owner_->DispatchOneMessage()) cancel_ = true;
  position_ = position;
  if (window_ != nullptr) {
    window_->SetBar(0, high_ - low_, position_ - low_);
    // An empty range shows 0 % rather than dividing by zero.
    const LONGLONG span = static_cast<LONGLONG>(high_) - low_;
    const LONGLONG percent = span > 0 ? ((position_ - low_) * 200LL / span + 1) / 2 : 0;
    window_->SetBarText(NxFormatText(NXW("%d %%"), {percent}).c_str());
  }
  return !cancel_;
}

void NxProgressDialog::End() {
  if (window_ != nullptr) window_->Close();
  window_ = nullptr;
}
