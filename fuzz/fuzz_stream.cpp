// The streaming path: push source -> CNxPlugIn -> recording sink in a graph, driven by a
// fuzzer-chosen stream format and impulse, then a sequence of samples of any length (whole
// frames or not), discontinuities and times, parameter changes (single setters, whole records,
// built-in presets, envelopes), ends of stream, and stops and restarts.
#include <algorithm>
#include <iterator>

#include "fuzz/fuzz_util.h"
#include "tests/support/memory_impulse.h"
#include "tests/support/plug_in.h"

namespace {

constexpr int kMostOperations = 48;
constexpr DWORD kRates[] = {8000, 11025, 22050, 32000, 44100, 48000, 96000, 192000};

CMediaType StreamType(FuzzBytes* in) {
  const uint8_t choice = in->Byte();
  const int kind = choice % 3;
  return AudioType(Wave(kind == 0 ? WAVE_FORMAT_PCM : WAVE_FORMAT_IEEE_FLOAT,
                        static_cast<WORD>((choice >> 2) % 2 + 1), kRates[(choice >> 3) % 8],
                        kind == 0 ? 16 : kind == 1 ? 32 : 64));
}

void ChangeOneParameter(CNxPlugIn* filter, FuzzBytes* in) {
  const uint8_t which = in->Byte();
  const LONG value = static_cast<LONG>(in->Dword());
  const size_t count = std::size(kParamFields);
  if (which % (count + 1) == count) {
    filter->SetImpulseFile(value % 2 == 0 ? NXW("a.irx") : NXW("b.wav"));
    return;
  }
  CAudioTransform* params = filter;
  FUZZ_CHECK((params->*kParamFields[which % (count + 1)].set)(value) == S_OK);
}

// A whole record from the input, as a preset stream could carry it.
void ReplaceRecord(CNxPlugIn* filter, FuzzBytes* in) {
  PlugInParams record;
  filter->GetParams(&record);
  BYTE* bytes = reinterpret_cast<BYTE*>(&record);
  const uint8_t first = in->Byte();
  const size_t offset = static_cast<size_t>(first) * 4 % sizeof record;
  const size_t count = std::min<size_t>(in->Byte() + 1u, sizeof record - offset);
  for (size_t i = 0; i < count; ++i) bytes[offset + i] = in->Byte();
  FUZZ_CHECK(filter->SetParams(&record) == S_OK);
}

void SetEnvelope(CNxPlugIn* filter, FuzzBytes* in) {
  EnvelopePoint points[kMaxEnvelopePoints + 2];
  const LONG count = static_cast<LONG>(in->Byte() % (kMaxEnvelopePoints + 3));
  for (EnvelopePoint& point : points) {
    point.position = static_cast<LONG>(in->Word()) - 100;
    point.level = static_cast<LONG>(in->Word() % 300);
  }
  filter->SetEnvelopePoints(points, count);
}

void Run(FuzzBytes* in) {
  const CMediaType type = StreamType(in);
  const LONG bufferBytes = 512 + in->Word() % 8192;
  const DWORD impulseFrames = 1 + in->Word() % 1024;
  const uint8_t impulseChoice = in->Byte();
  std::vector<float> samples(impulseFrames);
  for (DWORD i = 0; i < impulseFrames; ++i) {
    samples[i] = static_cast<float>(static_cast<int>((i * 7919u + impulseChoice) % 2001) - 1000);
  }
  MemoryImpulse impulse(samples, kRates[impulseChoice % 8], impulseChoice / 8 % 2 + 1);

  PushGraph chain;
  CNxPlugIn* filter = chain.filter;
  FUZZ_CHECK(filter != nullptr);
  filter->Engine().SetImpulseSource(&impulse);
  filter->Engine().SetMaxImpulseFrames(131071);
  filter->SetQuality(in->Byte() % 5 + 1);
  FUZZ_CHECK(chain.Connect(type, bufferBytes) == S_OK);
  chain.graph->Pause();

  for (int op = 0; op < kMostOperations && !in->Empty(); ++op) {
    switch (in->Byte() % 8) {
      case 0:
      case 1: {
        const uint8_t flags = in->Byte();
        const LONG length = static_cast<LONG>(in->Word()) % (bufferBytes + 1);
        const REFERENCE_TIME start = (flags & 2) ? static_cast<REFERENCE_TIME>(in->Dword()) : -1;
        std::vector<BYTE> audio(static_cast<size_t>(length));
        // Audio from the input where it lasts, then a repeating ramp.
        for (size_t i = 0; i < audio.size(); ++i) audio[i] = in->Empty() ? BYTE(i * 37) : in->Byte();
        chain.source->Push(audio.data(), length, (flags & 1) != 0, start, start + 1000);
        break;
      }
      case 2: ChangeOneParameter(filter, in); break;
      case 3: ReplaceRecord(filter, in); break;
      case 4: filter->ApplyPreset(static_cast<LONG>(in->Byte() % 6) - 1); break;
      case 5: SetEnvelope(filter, in); break;
      case 6: chain.source->EndOfStream(); break;
      case 7:
        chain.graph->Stop();
        chain.graph->Pause();
        break;
    }
  }
  chain.graph->Stop();
  for (const WaveSinkSample& sample : chain.sink.Samples()) FUZZ_CHECK(sample.bytes >= 0);
  FUZZ_CHECK(chain.Close() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes in(data, size);
  Run(&in);
  return 0;
}
