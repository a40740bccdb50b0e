// The impulse source that reads real files: impulse files (embedded or referencing a wave file)
// and plain wave files, through the impulse loader. Stateless, so one instance serves every
// filter and thread.
#pragma once

#include "frame/impulse_prep.h"

class ImpulseFileSource final : public ImpulseSource {
 public:
  // False for an empty name and for anything GetImpulseInfo refuses.
  bool GetInfo(const WCHAR* file, ImpulseSourceInfo* info) override;
  // Channel 0 into channel0 and, for a file with more channels, the next into channel1;
  // samples are floats on the 16-bit full scale. Frames the file does not hold stay zero.
  void Load(const WCHAR* file, float* channel0, float* channel1, uint32_t frames) override;
};

// The one shared instance.
ImpulseSource* FileImpulseSource();
