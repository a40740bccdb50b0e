#include "tools/wave_io.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/byte_order.h"
#include "tools/cli.h"

namespace {

unsigned BytesPerSample(SampleFormat format) {
  return format == SampleFormat::Pcm16 ? 2 : format == SampleFormat::Float32 ? 4 : 8;
}

}  // namespace

const char* SampleFormatName(SampleFormat format) {
  switch (format) {
    case SampleFormat::Pcm16: return "pcm16";
    case SampleFormat::Float32: return "float32";
    case SampleFormat::Float64: return "float64";
  }
  return "";
}

bool ParseSampleFormat(const std::string& text, SampleFormat* format) {
  for (SampleFormat f : {SampleFormat::Pcm16, SampleFormat::Float32, SampleFormat::Float64}) {
    if (text == SampleFormatName(f)) {
      *format = f;
      return true;
    }
  }
  return false;
}

WaveWriter::~WaveWriter() { NxCloseFile(file_); }

bool WaveWriter::Open(const std::string& path, SampleFormat format, unsigned channels,
                      unsigned rate, const std::vector<InfoItem>& info) {
  NxCloseFile(file_);
  file_ = NxFileReplacement::Create(Wide(path).c_str(), NxFileAccess::Write);
  if (file_ == nullptr) return false;
  format_ = format;
  channels_ = channels;
  clipped_ = 0;
  info_ = info;
  WAVEFORMATEX wave = {};
  wave.wFormatTag = format == SampleFormat::Pcm16 ? WAVE_FORMAT_PCM : WAVE_FORMAT_IEEE_FLOAT;
  wave.nChannels = static_cast<WORD>(channels);
  wave.nSamplesPerSec = rate;
  wave.wBitsPerSample = static_cast<WORD>(8 * BytesPerSample(format));
  return writer_.Start(file_, wave);
}

bool WaveWriter::Write(const double* samples, size_t frames) {
  if (file_ == nullptr) return false;
  const unsigned width = BytesPerSample(format_);
  const size_t count = frames * channels_;
  if (count * width > 0xFFFFFFFFull) return false;
  buffer_.resize(count * width);
  unsigned char* out = buffer_.data();
  for (size_t i = 0; i < count; ++i, out += width) {
    const double x = samples[i];
    if (format_ == SampleFormat::Pcm16) {
      double scaled = std::round(x * 32768.0);
      if (scaled > 32767.0 || scaled < -32768.0 || std::isnan(scaled)) {
        ++clipped_;
        scaled = std::isnan(scaled) ? 0.0 : std::clamp(scaled, -32768.0, 32767.0);
      }
      NxPutLeI16(out, static_cast<int16_t>(scaled));
    } else if (format_ == SampleFormat::Float32) {
      NxPutLeFloat(out, static_cast<float>(x));
    } else {
      NxPutLeDouble(out, x);
    }
  }
  return writer_.Append(buffer_.data(), static_cast<DWORD>(buffer_.size()));
}

bool WaveWriter::Close() {
  if (file_ == nullptr) return false;
  // The INFO list follows the data, where the impulse writer looks for it.
  const bool ok = writer_.Finish(info_) && file_->Commit();
  NxCloseFile(file_);
  file_ = nullptr;
  return ok;
}

WaveInput::~WaveInput() {
  if (open_) WaveReader_Close(&reader_);
}

int WaveInput::Open(const std::string& path) {
  const int result = WaveReader_Open(Wide(path).c_str(), &reader_, false);
  open_ = result >= 0;
  if (open_ && reader_.bytesPerSample == 0) return kImpulseNotAFile;
  return open_ ? 0 : result;
}

size_t WaveInput::Read(std::vector<double>* samples, size_t frames) {
  const size_t channels = reader_.channels;
  const size_t width = reader_.bytesPerSample;
  raw_.resize(frames * channels * width);
  const DWORD bytes = WaveReader_Read(&reader_, raw_.data(), static_cast<DWORD>(frames), 0, true);
  const size_t got = channels * width == 0 ? 0 : bytes / (channels * width);
  samples->resize(got * channels);
  const unsigned char* in = raw_.data();
  for (size_t i = 0; i < got * channels; ++i, in += width) {
    double value = 0.0;
    if (reader_.sampleKind == WaveSampleKind::Float) {
      value = width == 4 ? NxGetLeFloat(in) : NxGetLeDouble(in);
    } else if (width == 1) {
      value = (static_cast<int>(in[0]) - 128) / 128.0;
    } else {
      // Little-endian two's complement of `width` bytes, sign-extended from its top bit.
      uint64_t bits = 0;
      for (size_t b = width; b-- > 0;) bits = (bits << 8) | in[b];
      const uint64_t sign = uint64_t{1} << (width * 8 - 1);
      const int64_t v = static_cast<int64_t>(bits ^ sign) - static_cast<int64_t>(sign);
      value = static_cast<double>(v) / static_cast<double>(sign);
    }
    (*samples)[i] = value;
  }
  return got;
}
