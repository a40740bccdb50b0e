// The one writer of wave files: the command line's outputs, the sink filter and recovered
// impulses all write through it, so every file the program makes has the same layout:
//
//   "RIFF" size "WAVE"
//   "fmt " 16: PCM (tag 1), the plain PCMWAVEFORMAT, which every reader accepts
//   "fmt " 18 + "fact" 4: every other tag, the full WAVEFORMATEX (cbSize 0) and the frame count
//   "data" size, the samples, a pad byte when the size is odd
//   "LIST" "INFO" items, when there are any
//
// The header is written with zero sizes when a file starts; Finish writes the sizes, so a file
// that was never finished says it holds nothing. The writer works on a file opened by its caller
// (which keeps it) and samples arrive as bytes already in the stored format.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/wave_format.h"

// One INFO item: a four-character identifier ("INAM") and its text (Windows-1252 bytes).
typedef std::pair<std::string, std::string> WaveInfoItem;

class WaveFileWriter {
 public:
  // Bytes before the first sample of a file in `format`.
  static DWORD HeaderBytes(const WAVEFORMATEX& format);

  // Writes the header for `format` at the start of `file` and cuts the file there. nBlockAlign
  // and nAvgBytesPerSec are derived from the channels, rate and bits, not taken from `format`.
  // False when the write fails or the format has no channels or samples narrower than a byte.
  bool Start(NxFile* file, const WAVEFORMATEX& format);
  // Appends interleaved sample bytes after those already written. False when the write fails or
  // the file would pass the 32-bit RIFF size; nothing is counted then.
  bool Append(const void* bytes, DWORD count);
  // Writes the pad byte, the INFO items and every size; the file ends there. More samples may
  // be appended and Finish called again.
  bool Finish(const std::vector<WaveInfoItem>& info = {});

  ULONGLONG DataBytes() const { return dataBytes_; }
  const WAVEFORMATEX& Format() const { return format_; }

 private:
  NxFile* file_ = nullptr;
  WAVEFORMATEX format_ = {};
  ULONGLONG dataBytes_ = 0;
};
