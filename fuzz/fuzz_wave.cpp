// The wave reader (impulse/wave_reader.h) and loader (impulse/wave_loader.h) on arbitrary bytes:
// every stored and compressed format, reading whole frames and single channels in pieces,
// seeking, sample values, the description and the float loading path.
#include <cmath>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "impulse/wave_loader.h"
#include "impulse/wave_reader.h"

namespace {

// Frames read per call; odd so that compressed blocks are cut in the middle.
constexpr DWORD kPieceFrames = 301;
// Bounds the work on inputs whose data decodes to many frames.
constexpr DWORD kMostFramesRead = 1 << 16;
constexpr DWORD kLoadFrames = 4096;

void ReadAll(WaveReader* reader) {
  const DWORD frameBytes = reader->bytesPerSample * reader->channels;
  if (frameBytes == 0) {
    BYTE none[16];
    FUZZ_CHECK(WaveReader_Read(reader, none, 1, 0, true) == 0);
    return;
  }
  FUZZ_CHECK(frameBytes <= 8 * 0xFFFF);
  std::vector<BYTE> buffer(static_cast<size_t>(frameBytes) * kPieceFrames);
  DWORD total = 0;
  while (total < kMostFramesRead) {
    const DWORD got = WaveReader_Read(reader, buffer.data(), kPieceFrames, 0, true);
    FUZZ_CHECK(got <= buffer.size() && got % frameBytes == 0);
    if (got == 0) break;
    const DWORD frames = got / frameBytes;
    for (DWORD c = 0; c <= reader->channels; ++c) {
      WaveReader_GetSample(reader, buffer.data(), frames - 1, c);
    }
    total += frames;
  }
  FUZZ_CHECK(total <= reader->frames);
  if (total < kMostFramesRead) FUZZ_CHECK(total == reader->frames);

  // One channel at a time from the middle, and a seek past the end.
  if (WaveReader_Seek(reader, reader->frames / 2)) {
    const DWORD got = WaveReader_Read(reader, buffer.data(), kPieceFrames, reader->channels - 1,
                                      false);
    FUZZ_CHECK(got <= static_cast<size_t>(reader->bytesPerSample) * kPieceFrames);
  }
  FUZZ_CHECK(!WaveReader_Seek(reader, reader->frames + 1));
  FUZZ_CHECK(WaveReader_Read(reader, buffer.data(), 1, reader->channels, false) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WaveReader reader = {};
  if (WaveReader_OpenFile(FuzzFile(data, size), &reader) == 0) {
    FUZZ_CHECK(reader.dataBytes ==
               static_cast<unsigned long long>(reader.frames) * reader.bytesPerSample *
                   reader.channels);
    ReadAll(&reader);
  }
  WaveReader_Close(&reader);
  WaveReader_Close(&reader);

  ImpulseInfo info;
  if (GetWaveImpulseInfoFile(FuzzFile(data, size), &info)) {
    FUZZ_CHECK(info.channels != 0 && info.bytesPerSample != 0 && info.sampleRate != 0);
  }
  std::vector<float> main(kLoadFrames), second(kLoadFrames);
  const int loaded = LoadWaveImpulseFile(FuzzFile(data, size), main.data(), second.data(),
                                         kLoadFrames, 1);
  FUZZ_CHECK(loaded <= static_cast<int>(kLoadFrames));
  // Integer samples stay on the 16-bit scale; float samples may lie past full scale (they are
  // normalised later) but are always finite.
  for (int i = 0; i < loaded; ++i) FUZZ_CHECK(std::isfinite(main[i]));
  return 0;
}
