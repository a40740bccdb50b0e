// Plain wave files for the host's own needs: writing synthesised audio and converted output
// (16-bit PCM, 32- or 64-bit IEEE float, optional INFO items), and reading any wave file the
// system's reader delivers as samples on a full scale of ±1.0, a block at a time.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "impulse/wave_reader.h"
#include "impulse/wave_writer.h"
#include "platform/file.h"
#include "platform/file_replacement.h"

enum class SampleFormat { Pcm16, Float32, Float64 };

// "pcm16", "float32", "float64".
const char* SampleFormatName(SampleFormat format);
bool ParseSampleFormat(const std::string& text, SampleFormat* format);

typedef WaveInfoItem InfoItem;

class WaveWriter {
 public:
  WaveWriter() = default;
  ~WaveWriter();
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;

  // Starts a temporary beside `path` with a header of zero sizes; Close writes the INFO items
  // after the data and puts the file in place of `path`, which a writer destroyed without a
  // successful Close leaves as it was. False when the file cannot be created or written.
  bool Open(const std::string& path, SampleFormat format, unsigned channels, unsigned rate,
            const std::vector<InfoItem>& info = {});
  // Interleaved frames on ±1.0. 16-bit samples are rounded to nearest and clamped; the number
  // clamped is added to Clipped(). False when a write fails or the file would pass 4 GB.
  bool Write(const double* samples, size_t frames);
  // Writes the sizes, closes and replaces `path`. False when that fails.
  bool Close();
  unsigned long long Clipped() const { return clipped_; }

 private:
  NxFileReplacement* file_ = nullptr;
  SampleFormat format_ = SampleFormat::Pcm16;
  unsigned channels_ = 0;
  unsigned long long clipped_ = 0;
  WaveFileWriter writer_;
  std::vector<unsigned char> buffer_;
  std::vector<InfoItem> info_;
};

// Reads a wave file through the system's reader, as doubles on ±1.0.
class WaveInput {
 public:
  ~WaveInput();
  // 0 or the reader's code (impulse/impulse_info.h).
  int Open(const std::string& path);
  // Up to `frames` frames into `samples` (resized); returns the frames read, 0 at the end.
  size_t Read(std::vector<double>* samples, size_t frames);
  const WaveReader& Reader() const { return reader_; }

 private:
  WaveReader reader_ = {};
  bool open_ = false;
  std::vector<unsigned char> raw_;
};
