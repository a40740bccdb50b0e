#include "tools/progress.h"

#include <algorithm>
#include <cstdio>

#include "tools/cli.h"

namespace {
constexpr int kBarCells = 30;
}

bool ProgressBar::WantedBy(const ParsedArgs& args) {
  if (args.Has("quiet")) return false;
  return args.Has("progress") || StderrIsTerminal();
}

ProgressBar::ProgressBar(bool enabled, std::string label)
    : enabled_(enabled), label_(std::move(label)) {}

ProgressBar::~ProgressBar() {
  // A bar left open by a failure still ends its line before the error is printed.
  if (enabled_ && !finished_ && shown_ >= 0) std::fputc('\n', stderr);
}

void ProgressBar::SetLabel(const std::string& label) {
  label_ = label;
  if (shown_ >= 0) Draw(shown_);
}

void ProgressBar::Update(double fraction) {
  if (!enabled_ || finished_) return;
  const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
  if (percent != shown_) Draw(percent);
}

void ProgressBar::Finish() {
  if (!enabled_ || finished_) return;
  Draw(100);
  std::fputc('\n', stderr);
  finished_ = true;
}

void ProgressBar::Draw(int percent) {
  shown_ = percent;
  const int filled = percent * kBarCells / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarCells - filled), '.');
  std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
  std::fflush(stderr);
}
