#include "impulse/wave_writer.h"

#include <cstring>

#include "platform/byte_order.h"

namespace {

constexpr DWORD kPcmFormatBytes = 16;
constexpr DWORD kExtendedFormatBytes = 18;
constexpr ULONGLONG kRiffSizeLimit = 0xFFFFFFFFull;

bool IsPlainPcm(const WAVEFORMATEX& f) { return f.wFormatTag == WAVE_FORMAT_PCM; }

DWORD FrameBytes(const WAVEFORMATEX& f) { return DWORD{f.nChannels} * (f.wBitsPerSample / 8); }

bool WriteAt(NxFile* file, ULONGLONG position, const void* bytes, DWORD count) {
  DWORD done = 0;
  return file->Seek(static_cast<LONGLONG>(position), NxSeekOrigin::Begin, nullptr) &&
         file->Write(bytes, count, &done) && done == count;
}

void PutId(std::vector<BYTE>& out, const char* id) {
  for (size_t i = 0; i < 4; ++i) out.push_back(id[i] != 0 ? static_cast<BYTE>(id[i]) : ' ');
}

void PutU32(std::vector<BYTE>& out, DWORD value) {
  out.resize(out.size() + 4);
  NxPutLe32(out.data() + out.size() - 4, value);
}

void PutU16(std::vector<BYTE>& out, WORD value) {
  out.resize(out.size() + 2);
  NxPutLe16(out.data() + out.size() - 2, value);
}

std::vector<BYTE> Header(const WAVEFORMATEX& f, DWORD riffBytes, DWORD dataBytes) {
  const DWORD align = FrameBytes(f);
  std::vector<BYTE> h;
  PutId(h, "RIFF");
  PutU32(h, riffBytes);
  PutId(h, "WAVE");
  PutId(h, "fmt ");
  PutU32(h, IsPlainPcm(f) ? kPcmFormatBytes : kExtendedFormatBytes);
  PutU16(h, f.wFormatTag);
  PutU16(h, f.nChannels);
  PutU32(h, f.nSamplesPerSec);
  PutU32(h, f.nSamplesPerSec * align);
  PutU16(h, static_cast<WORD>(align));
  PutU16(h, f.wBitsPerSample);
  if (!IsPlainPcm(f)) {
    PutU16(h, 0);  // cbSize: no extra format bytes
    PutId(h, "fact");
    PutU32(h, 4);
    PutU32(h, dataBytes / align);
  }
  PutId(h, "data");
  PutU32(h, dataBytes);
  return h;
}

std::vector<BYTE> InfoList(const std::vector<WaveInfoItem>& info) {
  std::vector<BYTE> list;
  if (info.empty()) return list;
  PutId(list, "LIST");
  PutU32(list, 0);
  PutId(list, "INFO");
  for (const WaveInfoItem& item : info) {
    char id[4] = {0, 0, 0, 0};
    std::memcpy(id, item.first.data(), item.first.size() < 4 ? item.first.size() : 4);
    PutId(list, id);
    PutU32(list, static_cast<DWORD>(item.second.size() + 1));
    list.insert(list.end(), item.second.begin(), item.second.end());
    list.push_back(0);
    if ((item.second.size() + 1) % 2 != 0) list.push_back(0);
  }
  NxPutLe32(list.data() + 4, static_cast<DWORD>(list.size() - 8));
  return list;
}

}  // namespace

DWORD WaveFileWriter::HeaderBytes(const WAVEFORMATEX& format) {
  // RIFF head and form type, "fmt " chunk, "fact" chunk for other tags, "data" head.
  return IsPlainPcm(format) ? 12 + 8 + kPcmFormatBytes + 8
                            : 12 + 8 + kExtendedFormatBytes + 12 + 8;
}

bool WaveFileWriter::Start(NxFile* file, const WAVEFORMATEX& format) {
  file_ = file;
  format_ = format;
  dataBytes_ = 0;
  if (file == nullptr || format.nChannels == 0 || format.wBitsPerSample < 8) return false;
  format_.nBlockAlign = static_cast<WORD>(FrameBytes(format));
  format_.nAvgBytesPerSec = format.nSamplesPerSec * format_.nBlockAlign;
  format_.cbSize = 0;
  const std::vector<BYTE> header = Header(format_, 0, 0);
  return WriteAt(file_, 0, header.data(), static_cast<DWORD>(header.size())) && file_->SetEnd();
}

bool WaveFileWriter::Append(const void* bytes, DWORD count) {
  if (file_ == nullptr) return false;
  const ULONGLONG end = HeaderBytes(format_) + dataBytes_ + count;
  // The RIFF size counts everything after its first 8 bytes, the pad byte included.
  if (end + 1 - 8 > kRiffSizeLimit) {
    NxSetLastFileError(NxFileError::TooLarge);
    return false;
  }
  if (count == 0) return true;
  if (!WriteAt(file_, HeaderBytes(format_) + dataBytes_, bytes, count)) return false;
  dataBytes_ += count;
  return true;
}

bool WaveFileWriter::Finish(const std::vector<WaveInfoItem>& info) {
  if (file_ == nullptr) return false;
  std::vector<BYTE> tail;
  if (dataBytes_ % 2 != 0) tail.push_back(0);
  const std::vector<BYTE> list = InfoList(info);
  tail.insert(tail.end(), list.begin(), list.end());
  const ULONGLONG dataEnd = HeaderBytes(format_) + dataBytes_;
  const ULONGLONG end = dataEnd + tail.size();
  if (end - 8 > kRiffSizeLimit) return false;
  const std::vector<BYTE> header =
      Header(format_, static_cast<DWORD>(end - 8), static_cast<DWORD>(dataBytes_));
  const bool tailWritten =
      tail.empty() ? file_->Seek(static_cast<LONGLONG>(dataEnd), NxSeekOrigin::Begin, nullptr)
                   : WriteAt(file_, dataEnd, tail.data(), static_cast<DWORD>(tail.size()));
  return tailWritten && file_->SetEnd() &&
         WriteAt(file_, 0, header.data(), static_cast<DWORD>(header.size()));
}
