// Writes the seed corpora of the fuzz targets: small valid inputs of every kind, made with the
// project's own writers where it has them (impulse files, summaries, display lists, presets) and
// with hand-built bytes otherwise. Usage: fuzz_make_corpus <corpus folder>; it writes
// <folder>/<target>/<name> and replaces files of the same names.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "fuzz/fuzz_util.h"
#include "impulse/display_list.h"
#include "impulse/irx_file.h"
#include "impulse/summary.h"
#include "tests/support/plug_in.h"
#include "tests/support/temp_folder.h"

namespace {

std::filesystem::path g_root;

void Save(const std::string& target, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(g_root / target);
  WriteFileBytes(g_root / target / name, bytes);
}

// A WAVEFORMATEX of 18 bytes plus `extra` (cbSize = extra's size).
Bytes Format(WORD tag, WORD channels, DWORD rate, WORD align, WORD bits, const Bytes& extra) {
  return Fmt(tag, channels, rate, align, bits, extra, true);
}

Bytes Extensible(WORD channels, WORD bits, WORD subFormat) {
  return Format(WAVE_FORMAT_EXTENSIBLE, channels, 8000, static_cast<WORD>(channels * bits / 8),
                bits, ExtensibleTail(bits, subFormat, 0x71, channels == 2 ? 3 : 4));
}

// A tone: `count` bytes of a sine-like pattern.
Bytes Samples(size_t count, unsigned seed) {
  Bytes out(count);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<BYTE>((i * 29 + seed * 7) ^ (i >> 3));
  return out;
}

// `count` values (i % period) / period - 0.5 of type T, in their stored bytes.
template <typename T>
Bytes Ramp(int count, int period) {
  Bytes out(count * sizeof(T));
  for (int i = 0; i < count; ++i) {
    const T v = static_cast<T>(i % period) / static_cast<T>(period) - static_cast<T>(0.5);
    std::memcpy(&out[i * sizeof(T)], &v, sizeof v);
  }
  return out;
}

Bytes Wave(const Bytes& format, const Bytes& data, DWORD factFrames = 0, const Bytes& before = {},
           const Bytes& after = {}) {
  const Bytes fact = factFrames != 0 ? Chunk("fact", Le({factFrames})) : Bytes();
  return Riff(Chunk("fmt ", format) + fact + before + Chunk("data", data) + after);
}

Bytes MsAdpcmExtra(WORD samplesPerBlock) {
  static const int16_t kCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                              {240, 0}, {460, -208}, {392, -232}};
  Bytes extra = Le({samplesPerBlock, 7}, 2);
  for (const auto& pair : kCoefficients) extra += Le({WORD(pair[0]), WORD(pair[1])}, 2);
  return extra;
}

// Every wave format the reader knows, small, by name.
std::map<std::string, Bytes> Waves() {
  const Bytes pcm16 = Format(WAVE_FORMAT_PCM, 2, 8000, 4, 16, {});
  Bytes plain24 = Format(WAVE_FORMAT_PCM, 1, 22050, 3, 24, {});
  plain24.resize(16);  // the 16-byte record without cbSize
  const Bytes ima = {0xF9, 0x01};
  Bytes cut = Wave(pcm16, Samples(400, 14));
  cut.resize(cut.size() - 150);
  return {
      {"pcm8_mono.wav", Wave(Format(WAVE_FORMAT_PCM, 1, 8000, 1, 8, {}), Samples(101, 1))},
      {"pcm16_stereo.wav", Wave(pcm16, Samples(400, 2))},
      {"pcm24_plain.wav", Wave(plain24, Samples(300, 3))},
      {"pcm32_ext.wav", Wave(Extensible(2, 32, WAVE_FORMAT_PCM), Samples(400, 4))},
      {"float32.wav",
       Wave(Format(WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 4, 32, {}), Ramp<float>(60, 13), 60)},
      {"float64_ext.wav", Wave(Extensible(2, 64, WAVE_FORMAT_IEEE_FLOAT), Ramp<double>(40, 7))},
      {"pcm16_six.wav", Wave(Format(WAVE_FORMAT_PCM, 6, 8000, 12, 16, {}), Samples(240, 5))},
      {"alaw.wav", Wave(Format(WAVE_FORMAT_ALAW, 1, 8000, 1, 8, {0, 0}), Samples(200, 6), 200)},
      {"mulaw_stereo.wav",
       Wave(Format(WAVE_FORMAT_MULAW, 2, 8000, 2, 8, {0, 0}), Samples(200, 7), 100)},
      {"ima_mono.wav",
       Wave(Format(WAVE_FORMAT_IMA_ADPCM, 1, 8000, 256, 4, ima), Samples(612, 8), 1100)},
      {"ima_stereo.wav",
       Wave(Format(WAVE_FORMAT_IMA_ADPCM, 2, 8000, 512, 4, ima), Samples(572, 9), 505)},
      {"msadpcm_mono.wav",
       Wave(Format(WAVE_FORMAT_ADPCM, 1, 8000, 256, 4, MsAdpcmExtra(500)), Samples(336, 10), 600)},
      {"msadpcm_stereo.wav",
       Wave(Format(WAVE_FORMAT_ADPCM, 2, 8000, 512, 4, MsAdpcmExtra(500)), Samples(512, 11))},
      // Summaries before and after the data, odd text sizes, a truncated data chunk.
      {"info_before_data.wav",
       Wave(pcm16, Samples(40, 12), 0,
            InfoList({{"INAM", "Hall"}, {"IENG", "Someone"}, {"ICMT", "odd"}}))},
      {"info_after_data.wav", Wave(pcm16, Samples(40, 13), 0, {},
                                   InfoList({{"ICOP", "(c) nobody"}, {"DISP", "Shown text"}}))},
      {"truncated.wav", cut},
  };
}

// An embedded impulse file written from a wave file by the project's writer.
Bytes Embedded(const Bytes& wave) {
  WaveReader reader = {};
  if (WaveReader_OpenFile(FuzzFile(wave.data(), wave.size()), &reader) != 0) return {};
  NxMemoryFile* out = FuzzFile(nullptr, 0, NxMemoryAccess::ReadWrite);
  const int result = irx_WriteEmbedded(out, &reader);
  WaveReader_Close(&reader);
  Bytes bytes = result == 0 ? out->Bytes() : Bytes();
  NxCloseFile(out);
  return bytes;
}

Bytes Reference(const std::string& name) {
  const Bytes fmt =
      Le({36u, 100u, 2u, 2u, 8820u, 44100u, 0u, 0u, 0u, static_cast<DWORD>(name.size() + 1)});
  return Riff(Chunk("fmt ", fmt + Z(name)), "IRXP");
}

// An impulse file with a summary and both display items, written by the project's writers.
Bytes WithSummaryAndDisplay(const Bytes& impulse) {
  NxMemoryFile* file = FuzzFile(impulse.data(), impulse.size(), NxMemoryAccess::ReadWrite);
  file->Seek(0, NxSeekOrigin::End, nullptr);
  NxSummary summary = {};
  NxSummaryItem items[2] = {{kInfoTitle, const_cast<WCHAR*>(NXW("Small room"))},
                            {kInfoComments, const_cast<WCHAR*>(NXW("made by the corpus tool"))}};
  summary.count = 2;
  summary.items = items;
  DWORD written = 0;
  NxSummary_Save(file, &summary, &written);
  riff_UpdateRIFFSize(file, written);
  NxDisplayList display = {};
  displist_Create(&display, kImpulseDisplayFormats, 2);
  displist_SetItem(&display, kDisplayFormatText, "Small room", 11);
  const BYTE bitmap[40] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
  displist_SetItem(&display, kDisplayFormatBitmap, bitmap, sizeof bitmap);
  displist_Save(file, &display, &written);
  riff_UpdateRIFFSize(file, written);
  displist_Free(&display);
  Bytes bytes = file->Bytes();
  NxCloseFile(file);
  return bytes;
}

void Presets(const Bytes& smallImpulse) {
  CNxPlugIn* filter = NewPlugIn();
  Save("preset", "default.preset", SavedPreset(filter));
  for (LONG i = 1; i < 4; ++i) {
    filter->ApplyPreset(i);
    Save("preset", "builtin" + std::to_string(i) + ".preset", SavedPreset(filter));
  }
  // A packaged impulse: the module folder holds it under the name the record gives.
  const std::filesystem::path folder = g_root / ".module";
  std::filesystem::create_directories(folder);
  setenv("AURALITH_MODULE_DIR", (folder.string() + "/").c_str(), 1);
  WriteFileBytes(folder / "~IRX.TMP", smallImpulse);
  filter->SetImpulseFile(NXW("~IRX.TMP"));
  filter->SetPackageImpulse(1);
  Save("preset", "packaged.preset", SavedPreset(filter));
  static_cast<IBaseFilter*>(filter)->Release();
  std::filesystem::remove_all(folder);

  // The two older layouts, by hand: head, [version block 24242], record with ANSI names.
  const Bytes guid = Le({IID_INxPlugInProp.Data1}) +
                     Le({IID_INxPlugInProp.Data2, IID_INxPlugInProp.Data3}, 2) +
                     Bytes(IID_INxPlugInProp.Data4, IID_INxPlugInProp.Data4 + 8);
  const LONG integers[16] = {-60, -100, 50, 1, 300, 0, 8000, -30, 200, 20, 1, 0, 1503, 0, 0, 3};
  Bytes record;
  for (LONG v : integers) record += Le({static_cast<DWORD>(v)});
  record += Z("C:\\Impulses\\Hall.irx");
  record.resize(1104);
  record += Le({2, 0, 100, 1000, 50});  // two envelope points: (0, 100) and (1000, 50)
  record.resize(1236);
  Save("preset", "layout24242.preset",
       Le({1280}) + guid + Le({24242, 120, 0, 0}) + record + Le({1, 0}));  // mono-to-stereo
  Save("preset", "layout_oldest.preset", Le({1256}) + guid + record);
}

void Settings() {
  const std::string full =
      "; settings\r\n[Auralith]\r\nMaxImpulseSize=600000\r\nSpikeSpacing = -5\r\n"
      "ImpulseLastDir=\"/tmp\"\r\nImpulseLastDirFlt=2\r\nOutBits=32\r\n\r\n"
      "[MRU Folders]\r\nDirMax=4\r\nDir0=/tmp\r\nDir1=/\r\n"
      "[AL MRU List]\r\nDirMax=300\r\nDir0=/etc/hostname\r\nDir2=\r\n"
      "[AL MRU Test File]\r\nDirMax=-1\r\n";
  Save("settings", "full.ini", Bytes(full.begin(), full.end()));
  const std::string odd =
      "stray=before any section\n[ auralith ]\nmaximpulsesize='123456789012'\n[Auralith\nkey\n"
      "[]\n=empty key\n[MRU Folders]\nDirMax=99999999999999999999\nDir0 = '/tmp'\n";
  Save("settings", "odd.ini", Bytes(odd.begin(), odd.end()));
  const std::string utf8 = "[Auralith]\nImpulseLastDir=/tmp/caf\xC3\xA9\nbad=\xFF\xFE\n";
  Save("settings", "utf8.ini", Bytes(utf8.begin(), utf8.end()));
}

// Stream programs: format, buffer bytes, impulse frames, impulse choice, quality, then
// operations (see fuzz_stream.cpp).
void Streams() {
  // PCM16 stereo 44100: pushes, a level change, a discontinuity with time, end of stream.
  Save("stream", "pcm16_stereo", {0x24, 0x00, 0x10, 0x40, 0x00, 0x28, 0x04,
                                  0, 0x00, 0x00, 0x08, 2, 0x01, 0x9C, 0xFF, 0xFF, 0xFF,
                                  0, 0x03, 0x00, 0x04, 0x10, 0x27, 0x00, 0x00, 6});
  // Float mono 8000 with mono-to-stereo switched on mid-stream, then a stop and restart.
  Save("stream", "float_mono_to_stereo", {0x01, 0x00, 0x02, 0x10, 0x00, 0x03, 0x04,
                                          0, 0x01, 0x00, 0x02, 2, 6, 1, 0, 0, 0,
                                          0, 0x00, 0x00, 0x04, 7, 0, 0x01, 0x00, 0x01, 6});
  // Double stereo 48000, a preset, an envelope, a partial frame, a record replaced.
  Save("stream", "double_presets", {0x2E, 0x00, 0x04, 0x00, 0x02, 0x11, 0x01,
                                    4, 2, 0, 0x00, 0x00, 0x03, 5, 3, 0, 0, 0, 0, 0xE8, 0x03,
                                    100, 0, 0, 0x01, 0x0B, 0x00, 3, 15, 3, 5, 0, 0, 0,
                                    0, 0x00, 0x00, 0x07, 6});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_corpus <corpus folder>\n");
    return 2;
  }
  g_root = argv[1];
  const std::map<std::string, Bytes> waves = Waves();
  for (const auto& wave : waves) {
    Save("wave", wave.first, wave.second);
    Save("riff", wave.first, wave.second);
  }
  const Bytes& stereo16 = waves.at("pcm16_stereo.wav");
  const Bytes& withInfo = waves.at("info_before_data.wav");
  // Impulse files in each stored width, a reference file, and the summary readers' inputs.
  for (const char* source : {"pcm16_stereo.wav", "pcm24_plain.wav", "float32.wav", "pcm16_six.wav",
                             "ima_mono.wav", "info_before_data.wav"}) {
    Save("impulse", std::string("embedded_") + source + ".irx", Embedded(waves.at(source)));
  }
  Save("impulse", "reference.irx", Reference("/nonexistent/hall.wav"));
  Save("impulse", "pcm16_stereo.wav", stereo16);
  const Bytes decorated = WithSummaryAndDisplay(Embedded(stereo16));
  for (const char* target : {"impulse", "riff", "summary"})
    Save(target, "summary_display.irx", decorated);
  Save("summary", "embedded_from_info.irx", Embedded(withInfo));
  Save("summary", "info_before_data.wav", withInfo);
  Save("summary", "info_after_data.wav", waves.at("info_after_data.wav"));
  Presets(Embedded(stereo16));
  Settings();
  Streams();
  return 0;
}
