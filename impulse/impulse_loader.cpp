#include "impulse/impulse_loader.h"

#include <algorithm>
#include <memory>
#include <new>

#include "impulse/wave_loader.h"
#include "platform/file_replacement.h"
#include "platform/wide_string.h"
#include "toolkit/number_format.h"
#include "toolkit/string_table.h"

namespace {

NxFileHandle OpenForReading(LPCWSTR name) {
  return name != nullptr ? NxOpenFile(name, NxFileAccess::Read, NxFileCreate::OpenExisting)
                         : nullptr;
}

// Closes the file when the scope ends, unless it was handed on.
class FileGuard {
 public:
  explicit FileGuard(NxFileHandle file) : file_(file) {}
  ~FileGuard() { NxCloseFile(file_); }
  NxFileHandle Get() const { return file_; }
  FileGuard(const FileGuard&) = delete;
  FileGuard& operator=(const FileGuard&) = delete;
  NxFileHandle Release() {
    NxFileHandle file = file_;
    file_ = nullptr;
    return file;
  }

 private:
  NxFileHandle file_;
};

bool IsUsable(const ImpulseInfo& info) {
  return info.dataBytes != 0 && info.bytesPerSample != 0 && info.channels != 0 &&
         info.sampleRate != 0;
}

// Fills a printf-style template with "%s" (wide text) and "%lu" / "%0Nlu" (unsigned) fields,
// taking the arguments in order. Returns false when the text does not fit or the template asks
// for more or other fields than given.
struct TemplateArgument {
  LPCWSTR text;
  ULONGLONG number;
};

bool FillTemplate(LPCWSTR pattern, const TemplateArgument* arguments, size_t count, WCHAR* text,
                  DWORD capacity) {
  DWORD length = 0;
  size_t next = 0;
  auto put = [&](WCHAR unit) {
    if (length + 1 >= capacity) return false;
    text[length++] = unit;
    return true;
  };
  for (LPCWSTR p = pattern; *p != 0; ++p) {
    if (*p != '%') {
      if (!put(*p)) return false;
      continue;
    }
    ++p;
    if (*p == '%') {
      if (!put('%')) return false;
      continue;
    }
    const bool zeroFill = *p == '0';
    DWORD width = 0;
    while (*p >= '0' && *p <= '9') width = std::min<DWORD>(width * 10 + (*p++ - '0'), 32);
    while (*p == 'l') ++p;
    if (next >= count || (*p != 's' && *p != 'u')) return false;
    const TemplateArgument& argument = arguments[next++];
    WCHAR digits[24];
    LPCWSTR field = argument.text;
    if (*p == 'u') {
      size_t n = 0;
      ULONGLONG value = argument.number;
      do {
        digits[n++] = static_cast<WCHAR>('0' + value % 10);
        value /= 10;
      } while (value != 0);
      for (size_t i = n; i < width; ++i) {
        if (!put(zeroFill ? '0' : ' ')) return false;
      }
      while (n > 0) {
        if (!put(digits[--n])) return false;
      }
      continue;
    }
    for (; field != nullptr && *field != 0; ++field) {
      if (!put(*field)) return false;
    }
  }
  text[length] = 0;
  return true;
}

}  // namespace

bool IsImpulseFile(LPCWSTR name, bool* isWave) {
  FileGuard file(OpenForReading(name));
  return irx_ReadFormType(file.Get(), isWave);
}

bool GetImpulseInfoFile(NxFileHandle file, ImpulseInfo* info, bool* isWave) {
  FileGuard guard(file);
  if (isWave != nullptr) *isWave = false;
  if (info == nullptr) return false;
  *info = ImpulseInfo{};
  bool wave = false;
  if (!irx_ReadFormType(file, &wave)) return false;
  if (isWave != nullptr) *isWave = wave;
  if (wave) return GetWaveImpulseInfoFile(guard.Release(), info);
  IrxLayout layout;
  if (irx_ReadLayout(file, &layout) != 0 || !IsUsable(layout.info)) return false;
  *info = layout.info;
  return true;
}

bool GetImpulseInfo(LPCWSTR name, ImpulseInfo* info, bool* isWave) {
  return GetImpulseInfoFile(OpenForReading(name), info, isWave);
}

int LoadImpulseFile(NxFileHandle file, float* main, float* second, DWORD maxFrames,
                    DWORD channel) {
  FileGuard guard(file);
  bool wave = false;
  if (!irx_ReadFormType(file, &wave)) return kImpulseNotAFile;
  if (wave) return LoadWaveImpulseFile(guard.Release(), main, second, maxFrames, channel);
  IrxLayout layout;
  const int read = irx_ReadLayout(file, &layout);
  if (read != 0) return read;
  if (layout.nameLength == 0) {
    // Counts are ints: a frame count past 2^31 - 1 cannot be returned.
    return ReadEmbeddedSamples(file, main, second, std::min<DWORD>(maxFrames, 0x7FFFFFFF),
                               channel, layout.info.bytesPerSample, layout.info.channels,
                               layout.info.dataBytes);
  }
  WCHAR source[kImpulseNameUnits];
  const int named = irx_ReadReferenceName(file, layout, source, kImpulseNameUnits);
  if (named < 0) return named;
  NxCloseFile(guard.Release());
  return LoadWaveImpulse(source, main, second, maxFrames, channel);
}

int LoadImpulse(LPCWSTR name, float* main, float* second, DWORD maxFrames, DWORD channel) {
  return LoadImpulseFile(OpenForReading(name), main, second, maxFrames, channel);
}

int GetImpulseSourceNameFile(NxFileHandle file, LPCWSTR name, WCHAR* text, DWORD capacity,
                             bool* isSelf) {
  FileGuard guard(file);
  if (isSelf != nullptr) *isSelf = false;
  if (text != nullptr && capacity > 0) text[0] = 0;
  bool wave = false;
  if (!irx_ReadFormType(file, &wave)) return kImpulseNotAFile;
  IrxLayout layout;
  if (!wave) {
    const int read = irx_ReadLayout(file, &layout);
    if (read != 0) return read;
    if (layout.nameLength != 0) return irx_ReadReferenceName(file, layout, text, capacity);
  }
  if (isSelf != nullptr) *isSelf = true;
  const size_t length = text != nullptr ? NxStrCopyW(text, capacity, name) : 0;
  return wave ? static_cast<int>(length) : 0;
}

int GetImpulseSourceName(LPCWSTR name, WCHAR* text, DWORD capacity, bool* isSelf) {
  return GetImpulseSourceNameFile(OpenForReading(name), name, text, capacity, isSelf);
}

DWORD ReadImpulseRawData(LPCWSTR name, BYTE* buffer, DWORD capacity) {
  FileGuard file(OpenForReading(name));
  return irx_ReadRawData(file.Get(), buffer, capacity);
}

int CopyImpulseAsEmbedded(LPCWSTR source, LPCWSTR destination) {
  if (source == nullptr || destination == nullptr) return kImpulseNotAFile;
  FileGuard file(OpenForReading(source));
  bool wave = false;
  if (!irx_ReadFormType(file.Get(), &wave)) return kImpulseNotAFile;
  if (!wave) {
    NxCloseFile(file.Release());
    return NxCopyFile(source, destination, false) ? 0 : kImpulseWriteFailed;
  }
  // Creating the destination would empty the source before it is read.
  if (NxStrCmpW(source, destination) == 0) return kImpulseNotAFile;
  WaveReader reader;
  const int opened = WaveReader_OpenFile(file.Release(), &reader);
  if (opened != 0) return opened;
  if (reader.bytesPerSample == 0 || reader.channels == 0 || reader.frames == 0) {
    WaveReader_Close(&reader);
    return kImpulseNotAFile;
  }
  // Written beside the destination and put in place whole; a failure leaves it as it was.
  NxFileReplacement* output = NxFileReplacement::Create(destination, NxFileAccess::ReadWrite);
  if (output == nullptr) {
    WaveReader_Close(&reader);
    return kImpulseNotAFile;
  }
  int result = irx_WriteEmbedded(output, &reader);
  if (result == 0 && !output->Commit()) result = kImpulseWriteFailed;
  NxCloseFile(output);
  WaveReader_Close(&reader);
  return result;
}

int SaveImpulseFile(LPCWSTR destination, LPCWSTR source) {
  return CopyImpulseAsEmbedded(source, destination);
}

int EmbedReferencedImpulse(LPCWSTR name) {
  WCHAR source[kImpulseNameUnits];
  {
    FileGuard file(OpenForReading(name));
    bool wave = false;
    if (!irx_ReadFormType(file.Get(), &wave)) return kImpulseNotAFile;
    if (wave) return 0;
    IrxLayout layout;
    const int read = irx_ReadLayout(file.Get(), &layout);
    if (read != 0) return read;
    if (layout.nameLength == 0) return 0;
    const int named = irx_ReadReferenceName(file.Get(), layout, source, kImpulseNameUnits);
    if (named < 0) return named;
  }
  bool sourceIsWave = false;
  if (!IsImpulseFile(source, &sourceIsWave) || !sourceIsWave) return kImpulseNotAFile;
  // The embedded file replaces the reference only once whole.
  return CopyImpulseAsEmbedded(source, name);
}

DWORD FormatImpulseInfoText(const ImpulseInfo& info, WCHAR* text, DWORD capacity) {
  if (text == nullptr || capacity == 0) return 0;
  text[0] = 0;
  if (!IsUsable(info)) return 0;
  const ULONGLONG frames = info.dataBytes / info.bytesPerSample / info.channels;
  // 64-bit: frames * 100 passes 32 bits for long files.
  const ULONGLONG hundredths = frames * 100 / info.sampleRate;
  WCHAR rate[16];
  if (NxFormatNumber(info.sampleRate, rate, 16) == 0) return 0;
  const TemplateArgument arguments[] = {
      {rate, 0},
      {nullptr, info.channels},
      {nullptr, hundredths / 100},
      {nullptr, hundredths % 100}};
  if (!FillTemplate(NxGetString(IDS_IMPULSE_ATTRIBUTES), arguments, 4, text, capacity)) {
    text[0] = 0;
    return 0;
  }
  return static_cast<DWORD>(NxStrLenW(text));
}

DWORD GetImpulseInfoText(LPCWSTR name, WCHAR* text, DWORD capacity) {
  if (text != nullptr && capacity > 0) text[0] = 0;
  WCHAR source[kImpulseNameUnits];
  ImpulseInfo info;
  if (GetImpulseSourceName(name, source, kImpulseNameUnits, nullptr) < 0 ||
      !GetImpulseInfo(source, &info, nullptr)) {
    return 0;
  }
  return FormatImpulseInfoText(info, text, capacity);
}
