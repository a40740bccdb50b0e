#include "impulse/irx_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "impulse/display_list.h"
#include "impulse/irx_scramble.h"
#include "impulse/summary.h"
#include "impulse/wave_reader.h"
#include "platform/byte_order.h"
#include "platform/codepage.h"
#include "platform/wide_string.h"

namespace {

// Header words, name length: what precedes the payload in the "fmt " chunk as written.
constexpr DWORD kFixedFormatBytes = kImpulseHeaderSize + 4;
constexpr DWORD kFormatChunkOffset = 12;
constexpr DWORD kFormatSizeOffset = kFormatChunkOffset + 4;
constexpr DWORD kDataBytesOffset = kFormatChunkOffset + 8 + 16;
// Largest payload whose file still fits the RIFF size: form type, "fmt " header, pad.
constexpr ULONGLONG kMaxPayload = 0xFFFFFFF8ull - 4 - 8 - 1;
// Source bytes read from a wave file per pass while writing.
constexpr DWORD kSourcePassBytes = 32768;

bool ReadExact(NxFileHandle file, void* buffer, DWORD count) {
  DWORD done = 0;
  return file->Read(buffer, count, &done) && done == count;
}

bool WriteExact(NxFileHandle file, const void* buffer, DWORD count) {
  DWORD done = 0;
  return file->Write(buffer, count, &done) && done == count;
}

bool Tell(NxFileHandle file, ULONGLONG* position) {
  return file->Seek(0, NxSeekOrigin::Current, position);
}

bool SeekTo(NxFileHandle file, ULONGLONG position) {
  return file->Seek(static_cast<LONGLONG>(position), NxSeekOrigin::Begin, nullptr);
}

bool IsEmbeddedWidth(DWORD bytesPerSample) { return bytesPerSample >= 2 && bytesPerSample <= 4; }

// One stored sample on the 16-bit full scale.
float DecodeSample(const BYTE* p, DWORD bytesPerSample) {
  if (bytesPerSample == 2) {
    return static_cast<float>(NxGetLeI16(p));
  }
  if (bytesPerSample == 3) {
    const int32_t value = static_cast<int32_t>((static_cast<DWORD>(p[0]) << 8) |
                                               (static_cast<DWORD>(p[1]) << 16) |
                                               (static_cast<DWORD>(p[2]) << 24)) >> 8;
    return static_cast<float>(value) * (1.0f / 256.0f);
  }
  const DWORD bits = NxGetLe32(p);
  float x = 0;
  std::memcpy(&x, &bits, 4);
  return static_cast<float>(FloatSampleOnIntGrid(x) / 65536.0);
}

// Hands samples out to the caller's buffers frame by frame, across block boundaries.
class SampleSink {
 public:
  SampleSink(float* main, float* second, DWORD channel, DWORD channels, DWORD bytesPerSample,
             ULONGLONG frameLimit)
      : main_(main), second_(second), channel_(channel < channels ? channel : channels - 1),
        channels_(channels), bytesPerSample_(bytesPerSample), frameLimit_(frameLimit) {}

  bool Full() const { return frame_ >= frameLimit_; }
  DWORD Frames() const { return static_cast<DWORD>(frame_); }

  void Take(const BYTE* bytes, DWORD count) {
    DWORD used = 0;
    if (carried_ > 0) {
      const DWORD take = std::min(bytesPerSample_ - carried_, count);
      std::memcpy(carry_ + carried_, bytes, take);
      carried_ += take;
      used = take;
      if (carried_ < bytesPerSample_) return;
      Emit(carry_);
      carried_ = 0;
    }
    while (!Full() && count - used >= bytesPerSample_) {
      Emit(bytes + used);
      used += bytesPerSample_;
    }
    if (!Full() && used < count) {
      carried_ = count - used;
      std::memcpy(carry_, bytes + used, carried_);
    }
  }

 private:
  void Emit(const BYTE* sample) {
    if (Full()) return;
    const float value = DecodeSample(sample, bytesPerSample_);
    if (channelInFrame_ == channel_) {
      main_[frame_] = value;
    } else if (second_ != nullptr) {
      second_[frame_] = value;
    }
    if (++channelInFrame_ == channels_) {
      channelInFrame_ = 0;
      ++frame_;
    }
  }

  float* main_;
  float* second_;
  DWORD channel_;
  DWORD channels_;
  DWORD bytesPerSample_;
  ULONGLONG frameLimit_;
  ULONGLONG frame_ = 0;
  DWORD channelInFrame_ = 0;
  BYTE carry_[4] = {};
  DWORD carried_ = 0;
};

}  // namespace

bool irx_ReadFormType(NxFileHandle file, bool* isWave) {
  if (isWave != nullptr) *isWave = false;
  DWORD formType = 0;
  if (file == nullptr || !SeekTo(file, 0) ||
      riff_ReadFileID(file, nullptr, &formType) != NX_OK) {
    return false;
  }
  if (isWave != nullptr) *isWave = formType == kWaveFormType;
  return formType == kWaveFormType || formType == kImpulseFormType;
}

int irx_ReadLayout(NxFileHandle file, IrxLayout* layout) {
  if (file == nullptr || layout == nullptr) return kImpulseNotAFile;
  *layout = IrxLayout{};
  DWORD body = 0;
  DWORD formType = 0;
  DWORD chunkSize = 0;
  if (!SeekTo(file, 0) || riff_ReadFileID(file, &body, &formType) != NX_OK ||
      formType != kImpulseFormType ||
      riff_FindChunkHeader(file, kFormatChunkId, &chunkSize, &body) != NX_OK ||
      chunkSize < kImpulseHeaderSize) {
    return kImpulseNotAFile;
  }
  BYTE header[kImpulseHeaderSize];
  if (!ReadExact(file, header, kImpulseHeaderSize)) return kImpulseNotAFile;
  ImpulseInfo& info = layout->info;
  DWORD* const words[] = {&info.headerSize, &info.version,    &info.channels,
                          &info.bytesPerSample, &info.dataBytes, &info.sampleRate,
                          &info.reserved[0], &info.reserved[1], &info.reserved[2]};
  for (DWORD i = 0; i < 9; ++i) *words[i] = NxGetLe32(header + 4 * i);
  // A longer header of a later version is passed over, but only within its own chunk.
  if (info.version != kImpulseVersion || info.headerSize < kImpulseHeaderSize ||
      info.headerSize > chunkSize || info.channels == 0) {
    return kImpulseNotAFile;
  }
  ULONGLONG position = 0;
  if (!Tell(file, &position) || !SeekTo(file, position + (info.headerSize - kImpulseHeaderSize))) {
    return kImpulseNotAFile;
  }
  BYTE nameLength[4];
  if (chunkSize - info.headerSize < 4 || !ReadExact(file, nameLength, 4)) {
    return kImpulseReadFailed;
  }
  layout->nameLength = NxGetLe32(nameLength);
  const bool embedded = layout->nameLength == 0;
  if (embedded ? !IsEmbeddedWidth(info.bytesPerSample) : info.bytesPerSample == 0) {
    return kImpulseNotAFile;
  }
  ULONGLONG fileSize = 0;
  if (!Tell(file, &position) || !file->GetSize(&fileSize) || position > 0xFFFFFFFFull) {
    return kImpulseReadFailed;
  }
  const ULONGLONG inChunk = chunkSize - info.headerSize - 4;
  const ULONGLONG inFile = fileSize > position ? fileSize - position : 0;
  layout->payloadOffset = static_cast<DWORD>(position);
  layout->payloadBytes = static_cast<DWORD>(std::min(inChunk, inFile));
  const DWORD needed = embedded ? info.dataBytes : layout->nameLength;
  return needed <= layout->payloadBytes ? 0 : kImpulseReadFailed;
}

int irx_ReadReferenceName(NxFileHandle file, const IrxLayout& layout, WCHAR* text,
                          DWORD capacity) {
  if (text != nullptr && capacity > 0) text[0] = 0;
  if (file == nullptr || layout.nameLength > layout.payloadBytes) return kImpulseReadFailed;
  // A code page gives at most one unit per byte, so the name's units fit in as many as its bytes
  // (fewer in a multi-byte code page).
  char bytes[kImpulseNameUnits] = {};
  const DWORD count = std::min(layout.nameLength, kImpulseNameUnits - 1);
  if (!SeekTo(file, layout.payloadOffset) || !ReadExact(file, bytes, count)) {
    return kImpulseReadFailed;
  }
  WCHAR name[kImpulseNameUnits] = {};
  const void* zero = std::memchr(bytes, 0, count);
  const int length =
      static_cast<int>(zero != nullptr ? static_cast<const char*>(zero) - bytes : count);
  if (length > 0 &&
      MultiByteToWideChar(CP_ACP, 0, bytes, length, name, kImpulseNameUnits - 1) <= 0) {
    return kImpulseReadFailed;
  }
  if (text == nullptr || capacity == 0) return 0;
  return static_cast<int>(NxStrCopyW(text, capacity, name));
}

int ReadEmbeddedSamples(NxFileHandle file, float* main, float* second, DWORD maxFrames,
                        DWORD channel, DWORD bytesPerSample, DWORD channels, DWORD dataBytes) {
  if (file == nullptr || main == nullptr || channels == 0 || !IsEmbeddedWidth(bytesPerSample)) {
    return kImpulseNotAFile;
  }
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kIrxBlockBytes]);
  if (!block) return kImpulseNoMemory;
  const ULONGLONG wholeFrames =
      dataBytes / (static_cast<ULONGLONG>(bytesPerSample) * channels);
  SampleSink sink(main, second, channel, channels, bytesPerSample,
                  std::min<ULONGLONG>(maxFrames, wholeFrames));
  DWORD remaining = dataBytes;
  while (!sink.Full() && remaining > 0) {
    const DWORD count = std::min(remaining, kIrxBlockBytes);
    if (!ReadExact(file, block.get(), count)) return kImpulseReadFailed;
    ScrambleImpulseBlock(block.get(), count, kIrxUnscramble);
    sink.Take(block.get(), count);
    remaining -= count;
  }
  return static_cast<int>(sink.Frames());
}

DWORD irx_ReadRawData(NxFileHandle file, BYTE* buffer, DWORD capacity) {
  IrxLayout layout;
  if (buffer == nullptr || irx_ReadLayout(file, &layout) != 0 || layout.nameLength != 0) return 0;
  std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kIrxBlockBytes]);
  if (!block) return 0;
  const DWORD total = std::min(capacity, layout.info.dataBytes);
  DWORD delivered = 0;
  while (delivered < total) {
    const DWORD count = std::min(layout.info.dataBytes - delivered, kIrxBlockBytes);
    if (!ReadExact(file, block.get(), count)) break;
    ScrambleImpulseBlock(block.get(), count, kIrxUnscramble);
    const DWORD take = std::min(count, total - delivered);
    std::memcpy(buffer + delivered, block.get(), take);
    delivered += take;
  }
  return delivered;
}

// --- Writing ------------------------------------------------------------------------------

namespace {

// How one delivered source sample becomes stored bytes.
enum class StoredForm { Copy, Unsigned8To16, Int32ToFloat, DoubleToFloat };

struct Encoding {
  StoredForm form;
  DWORD sourceBytes;
  DWORD storedBytes;
};

bool ChooseEncoding(const WaveReader& reader, Encoding* encoding) {
  const DWORD width = reader.bytesPerSample;
  if (reader.sampleKind == WaveSampleKind::Integer) {
    if (width == 1) *encoding = {StoredForm::Unsigned8To16, 1, 2};
    else if (width == 2 || width == 3) *encoding = {StoredForm::Copy, width, width};
    else if (width == 4) *encoding = {StoredForm::Int32ToFloat, 4, 4};
    else return false;
    return true;
  }
  if (reader.sampleKind == WaveSampleKind::Float) {
    if (width == 4) *encoding = {StoredForm::Copy, 4, 4};
    else if (width == 8) *encoding = {StoredForm::DoubleToFloat, 8, 4};
    else return false;
    return true;
  }
  return false;
}

void StoreFloat(BYTE* out, float value) {
  DWORD bits = 0;
  std::memcpy(&bits, &value, 4);
  NxPutLe32(out, bits);
}

void EncodeSample(const BYTE* source, const Encoding& encoding, BYTE* out) {
  switch (encoding.form) {
    case StoredForm::Copy:
      std::memcpy(out, source, encoding.storedBytes);
      break;
    case StoredForm::Unsigned8To16: {
      NxPutLeI16(out, static_cast<int16_t>((source[0] - 128) * 256));
      break;
    }
    case StoredForm::Int32ToFloat: {
      const double value = static_cast<int32_t>(NxGetLe32(source));
      // Exact in double; the float rounding is the same one the loader's int-to-float makes.
      StoreFloat(out, static_cast<float>(value / 2147483648.0));
      break;
    }
    case StoredForm::DoubleToFloat: {
      const ULONGLONG bits =
          NxGetLe32(source) | (static_cast<ULONGLONG>(NxGetLe32(source + 4)) << 32);
      double value = 0;
      std::memcpy(&value, &bits, 8);
      StoreFloat(out, static_cast<float>(value));
      break;
    }
  }
}

// Collects stored bytes into blocks of kIrxBlockBytes and writes each block scrambled.
class ScrambledBlockWriter {
 public:
  explicit ScrambledBlockWriter(NxFileHandle file)
      : file_(file), block_(new (std::nothrow) BYTE[kIrxBlockBytes]) {}
  bool Allocated() const { return block_ != nullptr; }
  ULONGLONG Total() const { return total_; }

  bool Put(const BYTE* bytes, DWORD count) {
    while (count > 0) {
      const DWORD take = std::min(count, kIrxBlockBytes - fill_);
      std::memcpy(block_.get() + fill_, bytes, take);
      fill_ += take;
      bytes += take;
      count -= take;
      if (fill_ == kIrxBlockBytes && !Flush()) return false;
    }
    return true;
  }

  bool Flush() {
    if (fill_ == 0) return true;
    ScrambleImpulseBlock(block_.get(), fill_, kIrxScramble);
    const bool written = WriteExact(file_, block_.get(), fill_);
    total_ += fill_;
    fill_ = 0;
    return written;
  }

 private:
  NxFileHandle file_;
  std::unique_ptr<BYTE[]> block_;
  DWORD fill_ = 0;
  ULONGLONG total_ = 0;
};

int CodeOfStatus(NXSTATUS status) {
  if (status == E_OUTOFMEMORY) return kImpulseNoMemory;
  if (status == NX_E_WRITE || status == NX_E_TOOBIG) return kImpulseWriteFailed;
  return kImpulseReadFailed;
}

bool WriteHeader(NxFileHandle file, const WaveReader& reader, const Encoding& encoding,
                 DWORD dataBytes) {
  BYTE fixed[kFixedFormatBytes] = {};
  const DWORD words[] = {kImpulseHeaderSize,   kImpulseVersion, reader.channels,
                         encoding.storedBytes, dataBytes,       reader.sampleRate};
  for (DWORD i = 0; i < 6; ++i) NxPutLe32(fixed + 4 * i, words[i]);
  return riff_WriteFileID(file, kImpulseFormType, 4) == NX_OK &&
         riff_WriteChunkHeader(file, kFormatChunkId, 0) == NX_OK &&
         WriteExact(file, fixed, kFixedFormatBytes);
}

// Copies every frame the reader delivers; returns the stored byte count or a negative code.
LONGLONG CopySamples(NxFileHandle file, WaveReader* reader, const Encoding& encoding) {
  const DWORD frameBytes = encoding.sourceBytes * reader->channels;
  const DWORD passFrames = std::max<DWORD>(1, kSourcePassBytes / frameBytes);
  std::unique_ptr<BYTE[]> source(new (std::nothrow) BYTE[static_cast<size_t>(passFrames) *
                                                         frameBytes]);
  ScrambledBlockWriter writer(file);
  if (!source || !writer.Allocated()) return kImpulseNoMemory;
  if (!WaveReader_Seek(reader, 0)) return kImpulseReadFailed;
  DWORD left = reader->frames;
  BYTE stored[4];
  while (left > 0) {
    const DWORD ask = std::min(left, passFrames);
    const DWORD got = WaveReader_Read(reader, source.get(), ask, 0, true) / frameBytes;
    if (got == 0) break;
    const DWORD samples = got * reader->channels;
    for (DWORD i = 0; i < samples; ++i) {
      EncodeSample(source.get() + static_cast<size_t>(i) * encoding.sourceBytes, encoding, stored);
      if (!writer.Put(stored, encoding.storedBytes)) return kImpulseWriteFailed;
    }
    left -= std::min(got, left);
  }
  if (!writer.Flush()) return kImpulseWriteFailed;
  return static_cast<LONGLONG>(writer.Total());
}

bool WriteLe32At(NxFileHandle file, ULONGLONG position, DWORD value) {
  BYTE bytes[4];
  NxPutLe32(bytes, value);
  return SeekTo(file, position) && WriteExact(file, bytes, 4);
}

}  // namespace

int irx_WriteEmbedded(NxFileHandle destination, WaveReader* reader) {
  Encoding encoding;
  if (destination == nullptr || reader == nullptr || reader->file == nullptr ||
      reader->channels == 0 || !ChooseEncoding(*reader, &encoding)) {
    return kImpulseNotAFile;
  }
  const ULONGLONG announced =
      static_cast<ULONGLONG>(reader->frames) * reader->channels * encoding.storedBytes;
  if (announced > kMaxPayload - kFixedFormatBytes) return kImpulseWriteFailed;
  if (!WriteHeader(destination, *reader, encoding, static_cast<DWORD>(announced))) {
    return kImpulseWriteFailed;
  }
  const LONGLONG stored = CopySamples(destination, reader, encoding);
  if (stored < 0) return static_cast<int>(stored);
  if (stored == 0) return kImpulseReadFailed;
  const DWORD payload = kFixedFormatBytes + static_cast<DWORD>(stored);
  const DWORD pad = payload & 1u;
  const BYTE zero = 0;
  if ((pad != 0 && !WriteExact(destination, &zero, 1)) ||
      !WriteLe32At(destination, kFormatSizeOffset, payload) ||
      !WriteLe32At(destination, kDataBytesOffset, static_cast<DWORD>(stored)) ||
      riff_UpdateRIFFSize(destination, 8 + static_cast<LONGLONG>(payload) + pad) != NX_OK ||
      !SeekTo(destination, kFormatChunkOffset + 8 + static_cast<ULONGLONG>(payload) + pad)) {
    return kImpulseWriteFailed;
  }
  // The summary search starts behind the source's sample data.
  const ULONGLONG dataEnd =
      static_cast<ULONGLONG>(reader->dataStart) + reader->dataSize + (reader->dataSize & 1u);
  if (!SeekTo(reader->file, dataEnd)) return kImpulseReadFailed;
  const NXSTATUS status = CopyFileSummary(destination, reader->file);
  return status == NX_OK ? 0 : CodeOfStatus(status);
}

namespace {

struct SummaryCopy {
  NxSummary summary = {};
  NxDisplayList display = {};
  ~SummaryCopy() {
    NxSummary_Free(&summary);
    displist_Free(&display);
  }
};

NXSTATUS SetDisplayText(NxDisplayList* display, LPCWSTR text) {
  if (text == nullptr || text[0] == 0) {
    return displist_SetItem(display, kDisplayFormatText, nullptr, 0);
  }
  const int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return displist_SetItem(display, kDisplayFormatText, nullptr, 0);
  std::unique_ptr<char[]> ansi(new (std::nothrow) char[bytes]);
  if (!ansi) return E_OUTOFMEMORY;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, ansi.get(), bytes, nullptr,
                      nullptr);
  return displist_SetItem(display, kDisplayFormatText, ansi.get(), static_cast<DWORD>(bytes));
}

// Appends what `save` writes at the end of `file` and adds it to the RIFF size.
template <typename Save>
NXSTATUS AppendAtEnd(NxFileHandle file, Save save) {
  if (!file->Seek(0, NxSeekOrigin::End, nullptr)) return NX_E_WRITE;
  DWORD written = 0;
  const NXSTATUS status = save(&written);
  if (status != NX_OK || written == 0) return status;
  return riff_UpdateRIFFSize(file, written);
}

}  // namespace

NXSTATUS CopyFileSummary(NxFileHandle destination, NxFileHandle source) {
  if (destination == nullptr || source == nullptr) return E_INVALIDARG;
  ULONGLONG start = 0;
  DWORD body = 0;
  if (!Tell(source, &start) || !SeekTo(source, 0)) return NX_E_READ;
  NXSTATUS status = riff_ReadFileID(source, &body, nullptr);
  if (status != NX_OK) return status;
  const ULONGLONG end = 12ull + body;
  DWORD remaining = end > start ? static_cast<DWORD>(std::min<ULONGLONG>(end - start, body)) : 0;
  DWORD listSize = 0;
  if (!SeekTo(source, start)) return NX_E_READ;
  status = riff_FindListChunk(source, kInfoListType, &listSize, &remaining);
  // Where the chunks end (or the file ends before its RIFF size says), there is nothing to copy.
  if (status == NX_E_NOTFOUND || status == NX_E_READ) return NX_OK;
  if (status != NX_OK) return status;
  SummaryCopy copy;
  // An empty INFO list is an empty summary, not a failure.
  if (listSize > 0 && (status = NxSummary_Load(source, &copy.summary, listSize)) != NX_OK) {
    return status;
  }
  if ((status = displist_Create(&copy.display, kImpulseDisplayFormats, 2)) != NX_OK ||
      (status = displist_Load(source, &copy.display)) != NX_OK) {
    return status;
  }
  status = AppendAtEnd(destination, [&](DWORD* written) {
    return NxSummary_Save(destination, &copy.summary, written);
  });
  if (status != NX_OK) return status;
  status = SetDisplayText(&copy.display, NxSummary_GetItemText(&copy.summary, kInfoDisplayText));
  if (status != NX_OK) return status;
  return AppendAtEnd(destination, [&](DWORD* written) {
    return displist_Save(destination, &copy.display, written);
  });
}
