// Impulse files (impulse/impulse_loader.h, impulse/irx_file.h) on arbitrary bytes: the
// description, loading, the referenced file's name, the raw sample data, and, for a wave file,
// writing it as an embedded impulse file that must load back as the wave loader delivers it.
#include <cmath>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "impulse/impulse_loader.h"
#include "impulse/irx_file.h"
#include "impulse/wave_loader.h"

namespace {

constexpr DWORD kLoadFrames = 2048;
// Wave sources larger than this are not written out again (time per input).
constexpr DWORD kMostWrittenBytes = 1 << 20;

// Writes the wave file as an embedded impulse file and loads both.
void RoundTrip(const uint8_t* data, size_t size) {
  WaveReader reader = {};
  if (WaveReader_OpenFile(FuzzFile(data, size), &reader) != 0) return;
  const bool small = reader.dataBytes <= kMostWrittenBytes;
  // A double source is stored as float, which may round differently once loaded.
  const bool exact = !(reader.sampleKind == WaveSampleKind::Float && reader.bytesPerSample == 8);
  NxMemoryFile* written = FuzzFile(nullptr, 0, NxMemoryAccess::ReadWrite);
  const int result = small ? irx_WriteEmbedded(written, &reader) : kImpulseNotAFile;
  WaveReader_Close(&reader);
  if (result != 0) {
    NxCloseFile(written);
    return;
  }
  const std::vector<BYTE> bytes = written->Bytes();
  NxCloseFile(written);

  // Whatever the writer accepted, the reader takes as an embedded impulse file.
  NxMemoryFile* check = FuzzFile(bytes.data(), bytes.size());
  IrxLayout layout;
  FUZZ_CHECK(irx_ReadLayout(check, &layout) == 0 && layout.nameLength == 0);
  NxCloseFile(check);
  std::vector<float> fromWave(kLoadFrames), fromImpulse(kLoadFrames);
  std::vector<float> secondWave(kLoadFrames), secondImpulse(kLoadFrames);
  const int waveFrames = LoadWaveImpulseFile(FuzzFile(data, size), fromWave.data(),
                                             secondWave.data(), kLoadFrames, 0);
  const int impulseFrames = LoadImpulseFile(FuzzFile(bytes.data(), bytes.size()),
                                            fromImpulse.data(), secondImpulse.data(),
                                            kLoadFrames, 0);
  if (waveFrames > 0 && exact) {
    FUZZ_CHECK(impulseFrames == waveFrames);
    const auto same = [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    FUZZ_CHECK(std::equal(fromWave.data(), fromWave.data() + waveFrames, fromImpulse.data(), same));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ImpulseInfo info;
  bool isWave = false;
  if (GetImpulseInfoFile(FuzzFile(data, size), &info, &isWave)) {
    FUZZ_CHECK(info.channels != 0 && info.bytesPerSample != 0 && info.sampleRate != 0 &&
               info.dataBytes != 0);
  }

  WCHAR name[kImpulseNameUnits];
  bool isSelf = false;
  const int length = GetImpulseSourceNameFile(FuzzFile(data, size), NXW("fuzz.irx"), name,
                                              kImpulseNameUnits, &isSelf);
  if (length >= 0) {
    FUZZ_CHECK(length < static_cast<int>(kImpulseNameUnits));
    FUZZ_CHECK(Terminated(name, kImpulseNameUnits));
  }

  // A reference file names a file on disk; only embedded and wave files are loaded here.
  IrxLayout layout;
  NxMemoryFile* probe = FuzzFile(data, size);
  const bool reference = irx_ReadLayout(probe, &layout) == 0 && layout.nameLength != 0;
  if (!reference) {
    std::vector<float> main(kLoadFrames), second(kLoadFrames);
    const int loaded = LoadImpulseFile(FuzzFile(data, size), main.data(), second.data(),
                                       kLoadFrames, 3);
    FUZZ_CHECK(loaded <= static_cast<int>(kLoadFrames));
  }
  std::vector<BYTE> raw(16384);
  const DWORD rawBytes = irx_ReadRawData(probe, raw.data(), static_cast<DWORD>(raw.size()));
  FUZZ_CHECK(rawBytes <= raw.size());
  NxCloseFile(probe);

  if (isWave) RoundTrip(data, size);
  return 0;
}
