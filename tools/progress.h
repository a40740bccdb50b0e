// A progress bar on standard error: shown when standard error is a terminal, forced by
// --progress, silenced by --quiet. It redraws in place with a carriage return and ends its line
// when finished, so nothing else on standard error lands inside it.
#pragma once

#include <string>

#include "tools/options.h"

class ProgressBar {
 public:
  // From the command's --progress and --quiet options.
  static bool WantedBy(const ParsedArgs& args);

  ProgressBar(bool enabled, std::string label);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // `fraction` of 0..1; redraws only when the shown percentage changes.
  void Update(double fraction);
  void SetLabel(const std::string& label);
  // Draws 100 % and ends the line; later calls do nothing.
  void Finish();
  bool Enabled() const { return enabled_; }

 private:
  void Draw(int percent);

  bool enabled_;
  bool finished_ = false;
  std::string label_;
  int shown_ = -1;
};
