#include "frame/impulse_file_source.h"

#include "impulse/impulse_loader.h"

bool ImpulseFileSource::GetInfo(const WCHAR* file, ImpulseSourceInfo* info) {
  if (info == nullptr) return false;
  *info = {};
  if (file == nullptr || file[0] == 0) return false;
  ImpulseInfo found;
  if (!GetImpulseInfo(file, &found, nullptr)) return false;
  *info = {found.channels, found.bytesPerSample, found.dataBytes, found.sampleRate};
  return true;
}

void ImpulseFileSource::Load(const WCHAR* file, float* channel0, float* channel1,
                             uint32_t frames) {
  if (file == nullptr || file[0] == 0 || channel0 == nullptr || frames == 0) return;
  LoadImpulse(file, channel0, channel1, frames, 0);
}

ImpulseSource* FileImpulseSource() {
  static ImpulseFileSource source;
  return &source;
}
