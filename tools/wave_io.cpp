#include "tools/wave_io.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/cli.h"

namespace {

constexpr size_t kBlockFrames = 65536;

void PutU16(std::vector<unsigned char>& out, unsigned value) {
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

void PutU32(std::vector<unsigned char>& out, unsigned long value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutId(std::vector<unsigned char>& out, const std::string& id) {
  for (size_t i = 0; i < 4; ++i) out.push_back(i < id.size() ? static_cast<unsigned char>(id[i]) : ' ');
}

unsigned BytesPerSample(SampleFormat format) {
  return format == SampleFormat::Pcm16 ? 2 : format == SampleFormat::Float32 ? 4 : 8;
}

bool WriteAt(NxFileHandle file, unsigned long long offset, unsigned long value) {
  std::vector<unsigned char> bytes;
  PutU32(bytes, value);
  DWORD done = 0;
  return file->Seek(static_cast<LONGLONG>(offset), NxSeekOrigin::Begin, nullptr) &&
         file->Write(bytes.data(), 4, &done);
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
  file_ = NxOpenFile(Wide(path).c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways);
  if (file_ == nullptr) return false;
  format_ = format;
  channels_ = channels;
  dataBytes_ = 0;
  clipped_ = 0;
  const unsigned width = BytesPerSample(format);
  const bool isFloat = format != SampleFormat::Pcm16;
  std::vector<unsigned char> head;
  PutId(head, "RIFF");
  PutU32(head, 0);
  PutId(head, "WAVE");
  PutId(head, "fmt ");
  PutU32(head, isFloat ? 18 : 16);
  PutU16(head, isFloat ? 3 : 1);
  PutU16(head, channels);
  PutU32(head, rate);
  PutU32(head, static_cast<unsigned long>(rate) * channels * width);
  PutU16(head, channels * width);
  PutU16(head, width * 8);
  if (isFloat) {
    PutU16(head, 0);
    PutId(head, "fact");
    PutU32(head, 4);
    factOffset_ = static_cast<unsigned long>(head.size());
    PutU32(head, 0);
  } else {
    factOffset_ = 0;
  }
  info_ = info;
  PutId(head, "data");
  dataSizeOffset_ = static_cast<unsigned long>(head.size());
  PutU32(head, 0);
  DWORD done = 0;
  return file_->Write(head.data(), static_cast<DWORD>(head.size()), &done);
}

bool WaveWriter::Write(const double* samples, size_t frames) {
  if (file_ == nullptr) return false;
  const unsigned width = BytesPerSample(format_);
  const size_t count = frames * channels_;
  if (dataBytes_ + count * width > 0xFFFFFFFFull - 4096) return false;
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
      const int16_t v = static_cast<int16_t>(scaled);
      std::memcpy(out, &v, 2);
    } else if (format_ == SampleFormat::Float32) {
      const float v = static_cast<float>(x);
      std::memcpy(out, &v, 4);
    } else {
      std::memcpy(out, &x, 8);
    }
  }
  DWORD done = 0;
  if (!file_->Write(buffer_.data(), static_cast<DWORD>(buffer_.size()), &done)) return false;
  dataBytes_ += buffer_.size();
  return true;
}

bool WaveWriter::Close() {
  if (file_ == nullptr) return false;
  bool ok = true;
  if (dataBytes_ % 2 != 0) {
    const unsigned char pad = 0;
    DWORD done = 0;
    ok = file_->Write(&pad, 1, &done);
  }
  // The INFO list follows the data, where the impulse writer looks for it.
  if (ok && !info_.empty()) {
    std::vector<unsigned char> list;
    PutId(list, "INFO");
    for (const InfoItem& item : info_) {
      PutId(list, item.first);
      PutU32(list, static_cast<unsigned long>(item.second.size() + 1));
      list.insert(list.end(), item.second.begin(), item.second.end());
      list.push_back(0);
      if ((item.second.size() + 1) % 2 != 0) list.push_back(0);
    }
    std::vector<unsigned char> chunk;
    PutId(chunk, "LIST");
    PutU32(chunk, static_cast<unsigned long>(list.size()));
    chunk.insert(chunk.end(), list.begin(), list.end());
    DWORD done = 0;
    ok = file_->Write(chunk.data(), static_cast<DWORD>(chunk.size()), &done);
  }
  ULONGLONG size = 0;
  ok = ok && file_->GetSize(&size);
  ok = ok && WriteAt(file_, 4, static_cast<unsigned long>(size - 8));
  ok = ok && WriteAt(file_, dataSizeOffset_, static_cast<unsigned long>(dataBytes_));
  if (factOffset_ != 0) {
    const unsigned long frameBytes = BytesPerSample(format_) * channels_;
    ok = ok && WriteAt(file_, factOffset_, static_cast<unsigned long>(dataBytes_ / frameBytes));
  }
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
      if (width == 4) {
        float f;
        std::memcpy(&f, in, 4);
        value = f;
      } else {
        std::memcpy(&value, in, 8);
      }
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

std::string ConvertWaveFile(const std::string& source, const std::string& destination,
                            SampleFormat format, unsigned long long* clipped) {
  WaveInput input;
  if (input.Open(source) != 0) return "cannot read the rendered audio";
  WaveWriter writer;
  if (!writer.Open(destination, format, input.Reader().channels, input.Reader().sampleRate))
    return "cannot create the file";
  std::vector<double> block;
  while (const size_t frames = input.Read(&block, kBlockFrames)) {
    if (!writer.Write(block.data(), frames)) return "write failed";
  }
  if (!writer.Close()) return "write failed";
  *clipped = writer.Clipped();
  return std::string();
}

unsigned long long CountFullScale16(const std::string& path) {
  WaveInput input;
  if (input.Open(path) != 0 || input.Reader().bytesPerSample != 2) return 0;
  unsigned long long count = 0;
  std::vector<double> block;
  while (input.Read(&block, kBlockFrames) != 0) {
    for (const double x : block)
      if (x <= -1.0 || x >= 32767.0 / 32768.0) ++count;
  }
  return count;
}
