#include "ui/pages/progress_dialog.h"

#include "ui/pages/page_text.h"

NxProgressDialog::~NxProgressDialog() { End(); }

void NxProgressDialog::Begin(LPCWSTR text, int range) {
  End();
  m_low = 0;
  m_high = range;
  m_position = 0;
  m_cancel = false;
  m_window = m_owner->OpenProgressWindow(this);
  if (m_window == nullptr) return;  // the run goes on without a window to show it
  m_window->SetText(text);
  m_window->SetBarText(text);
  m_window->SetBar(0, range, 0);
}

void NxProgressDialog::SetRange(int low, int high) {
  m_low = low;
  m_high = high;
  if (m_window != nullptr) m_window->SetBar(0, m_high - m_low, m_position - m_low);
}

void NxProgressDialog::SetText(LPCWSTR text) {
  if (m_window != nullptr) m_window->SetText(text);
}

bool NxProgressDialog::Step(int position) {
  if (m_owner->DispatchOneMessage()) m_cancel = true;
  m_position = position;
  if (m_window != nullptr) {
    m_window->SetBar(0, m_high - m_low, m_position - m_low);
    // An empty range shows 0 % rather than dividing by zero.
    const LONGLONG span = static_cast<LONGLONG>(m_high) - m_low;
    const LONGLONG percent = span > 0 ? ((m_position - m_low) * 200LL / span + 1) / 2 : 0;
    m_window->SetBarText(NxFormatText(NXW("%d %%"), {percent}).c_str());
  }
  return !m_cancel;
}

void NxProgressDialog::End() {
  if (m_window != nullptr) m_window->Close();
  m_window = nullptr;
}
