// The filter's presets: IPersistStream (layout written, the three layouts read, dirty rules,
// the packaged impulse through "~IRX.TMP", hostile and failing streams) and IStaticFilterPreset.
// Old layouts are built here byte by byte.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

#include "filter_test_util.h"
#include "frame/builtin_presets.h"
#include "frame/guids.h"
#include "frame/nx_plugin.h"
#include "platform/dshow/stream.h"
#include "platform/window.h"

namespace {

constexpr BYTE kFormatGuid[16] = {0x83, 0xC2, 0x41, 0x6D, 0x7B, 0x3F, 0xD0, 0x11,
                                  0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19};

void PutU32(std::vector<BYTE>* out, DWORD value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<BYTE>(value >> (8 * i)));
}

DWORD GetU32(const std::vector<BYTE>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<DWORD>(bytes[at + 3]) << 24;
}

std::vector<BYTE> Head(DWORD total) {
  std::vector<BYTE> out;
  PutU32(&out, total);
  out.insert(out.end(), std::begin(kFormatGuid), std::end(kFormatGuid));
  return out;
}

std::vector<BYTE> VersionBlock(DWORD version) {
  std::vector<BYTE> out;
  for (DWORD word : {version, 120u, 0u, 0u}) PutU32(&out, word);
  return out;
}

void Append(std::vector<BYTE>* out, const void* bytes, size_t size) {
  out->insert(out->end(), static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + size);
}

// An old record: 16 integers, four 260-byte ANSI names, the envelope, and for version 24242
// monoToStereo and pan.
struct OldRecord {
  LONG integers[16];
  std::string names[4];
  LONG envelopeCount;
  EnvelopePoint points[16];
  LONG monoToStereo;
  LONG pan;
};

std::vector<BYTE> OldRecordBytes(const OldRecord& r, bool with24242Fields) {
  std::vector<BYTE> out;
  for (LONG v : r.integers) PutU32(&out, static_cast<DWORD>(v));
  for (const std::string& name : r.names) {
    std::vector<BYTE> field(260, 0);
    std::copy(name.begin(), name.begin() + std::min<size_t>(name.size(), 260), field.begin());
    out.insert(out.end(), field.begin(), field.end());
  }
  PutU32(&out, static_cast<DWORD>(r.envelopeCount));
  for (const EnvelopePoint& p : r.points) {
    PutU32(&out, static_cast<DWORD>(p.position));
    PutU32(&out, static_cast<DWORD>(p.level));
  }
  EXPECT_EQ(1236u, out.size());
  if (with24242Fields) {
    PutU32(&out, static_cast<DWORD>(r.monoToStereo));
    PutU32(&out, static_cast<DWORD>(r.pan));
  }
  return out;
}

OldRecord SampleOldRecord() {
  OldRecord r = {};
  const LONG integers[16] = {-120, -30, 80, 1, 350, -250, 8000, -40, 120, 60, 1, 1, 1504, 0, 0, 4};
  std::copy(std::begin(integers), std::end(integers), r.integers);
  r.names[0] = "C:\\Hall\\Caf\xE9 \x80 \x9C.irx";  // é, €, œ
  r.names[1] = "tone.wav";
  r.names[2] = "";
  r.names[3] = std::string(300, 'x');  // fills the field with no terminator
  r.envelopeCount = 3;
  r.points[0] = {0, 100};
  r.points[1] = {400, 60};
  r.points[2] = {1000, 0};
  r.monoToStereo = 1;
  r.pan = -37;
  return r;
}

std::vector<BYTE> CurrentStream(const PlugInParams& params, const std::vector<BYTE>& impulse = {},
                                DWORD total = 0) {
  std::vector<BYTE> out = Head(total != 0 ? total : 2320 + static_cast<DWORD>(impulse.size()));
  const std::vector<BYTE> block = VersionBlock(24243);
  out.insert(out.end(), block.begin(), block.end());
  Append(&out, &params, sizeof params);
  out.insert(out.end(), impulse.begin(), impulse.end());
  return out;
}

std::vector<BYTE> Pattern(size_t size, unsigned seed) {
  std::vector<BYTE> bytes(size);
  std::mt19937 random(seed);
  for (BYTE& b : bytes) b = static_cast<BYTE>(random());
  return bytes;
}

std::vector<BYTE> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string& path, const std::vector<BYTE>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::basic_string<WCHAR> ImpulseName(INxPlugInProp* prop) {
  WCHAR name[kMaxPathUnits];
  prop->GetImpulseFile(name, kMaxPathUnits);
  return name;
}

// Forwards to a memory stream and records the size of every transfer.
class RecordingStream final : public IStream {
 public:
  explicit RecordingStream(CMemoryStream* inner) : inner_(inner) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return inner_->QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
    reads.push_back(cb);
    return inner_->Read(pv, cb, read);
  }
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* written) override {
    writes.push_back(cb);
    return inner_->Write(pv, cb, written);
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* p) override {
    return inner_->Seek(move, origin, p);
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override { return inner_->SetSize(size); }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* to, ULARGE_INTEGER cb, ULARGE_INTEGER* r,
                                   ULARGE_INTEGER* w) override {
    return inner_->CopyTo(to, cb, r, w);
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override { return inner_->Commit(flags); }
  HRESULT STDMETHODCALLTYPE Revert() override { return inner_->Revert(); }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER o, ULARGE_INTEGER cb, DWORD t) override {
    return inner_->LockRegion(o, cb, t);
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER o, ULARGE_INTEGER cb, DWORD t) override {
    return inner_->UnlockRegion(o, cb, t);
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override {
    return inner_->Stat(stat, flags);
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override { return inner_->Clone(clone); }

  std::vector<ULONG> reads;
  std::vector<ULONG> writes;

 private:
  CMemoryStream* inner_;
};

// A filter with the module folder pointed at a fresh temporary folder, and one window
// registered for notifications.
class PresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("AURALITH_MODULE_DIR", folder_.Path().c_str(), 1);
    plugin_ = static_cast<CNxPlugIn*>(CNxPlugIn::CreateInstance(nullptr, nullptr));
    ASSERT_NE(plugin_, nullptr);
    static_cast<IBaseFilter*>(plugin_)->AddRef();
    persist_ = plugin_;
    prop_ = plugin_;
    window_ = NxCreateWindow(nullptr);
    ASSERT_HR(S_OK, prop_->RegisterNotifyWindow(window_, 41));
  }
  void TearDown() override {
    DestroyWindow(window_);
    EXPECT_EQ(0u, static_cast<IBaseFilter*>(plugin_)->Release());
    unsetenv("AURALITH_MODULE_DIR");
  }
  // Notification codes posted since the last call.
  std::vector<WORD> Notified() {
    std::vector<WORD> codes;
    MSG msg;
    while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) {
      EXPECT_EQ(41, LOWORD(msg.wParam));
      codes.push_back(HIWORD(msg.wParam));
    }
    return codes;
  }
  PlugInParams Params() {
    PlugInParams params;
    prop_->GetParams(&params);
    return params;
  }
  HRESULT LoadBytes(const std::vector<BYTE>& bytes) {
    CMemoryStream* stream = CMemoryStream::Create(bytes.data(), bytes.size());
    const HRESULT hr = persist_->Load(stream);
    stream->Release();
    return hr;
  }
  std::vector<BYTE> SaveBytes(HRESULT expected = S_OK, BOOL clearDirty = TRUE) {
    CMemoryStream* stream = CMemoryStream::Create();
    EXPECT_HR(expected, persist_->Save(stream, clearDirty));
    std::vector<BYTE> bytes = stream->Bytes();
    stream->Release();
    return bytes;
  }
  // Some settings away from the defaults, so that a load that changes nothing shows.
  void Customise() {
    prop_->SetDryOut(-100);
    prop_->SetQuality(5);
    prop_->SetPan(42);
    prop_->SetImpulseFile(NXW("hall.irx"));
  }
  std::string ModuleFile(const std::string& name) const { return folder_ / name; }

  TempFolder folder_;
  CNxPlugIn* plugin_ = nullptr;
  IPersistStream* persist_ = nullptr;
  INxPlugInProp* prop_ = nullptr;
  HWND window_ = nullptr;
};

TEST_F(PresetTest, InterfacesAndClassId) {
  IBaseFilter* filter = plugin_;
  IUnknown* identity = nullptr;
  ASSERT_HR(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  for (const IID* iid : {&IID_IPersistStream, &IID_IStaticFilterPreset}) {
    IUnknown* unknown = nullptr;
    ASSERT_HR(S_OK, filter->QueryInterface(*iid, reinterpret_cast<void**>(&unknown)));
    IUnknown* back = nullptr;
    unknown->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back));
    EXPECT_EQ(identity, back);
    back->Release();
    EXPECT_EQ(2u, unknown->Release());
  }
  EXPECT_EQ(1u, identity->Release());
  CLSID clsid = GUID_NULL;
  EXPECT_HR(S_OK, persist_->GetClassID(&clsid));
  EXPECT_TRUE(clsid == CLSID_NxPlugIn);
  EXPECT_HR(E_POINTER, persist_->GetClassID(nullptr));
  EXPECT_HR(E_POINTER, persist_->Load(nullptr));
  EXPECT_HR(E_POINTER, persist_->Save(nullptr, TRUE));
  EXPECT_HR(E_POINTER, persist_->GetSizeMax(nullptr));
}

TEST_F(PresetTest, DirtyRules) {
  EXPECT_HR(S_OK, persist_->IsDirty());  // the defaults were set at construction
  struct Step {
    const char* what;
    std::function<void()> act;
    HRESULT dirtyAfter;
  };
  const std::vector<BYTE> saved = SaveBytes();
  const Step steps[] = {
      {"save with clear-dirty", [&] { SaveBytes(); }, S_FALSE},
      {"save without", [&] { SaveBytes(S_OK, FALSE); }, S_FALSE},
      {"setter to the same value", [&] { prop_->SetQuality(3); }, S_FALSE},
      {"setter", [&] { prop_->SetQuality(4); }, S_OK},
      {"save without clear-dirty", [&] { SaveBytes(S_OK, FALSE); }, S_OK},
      {"save", [&] { SaveBytes(); }, S_FALSE},
      {"load", [&] { LoadBytes(saved); }, S_OK},
      {"save", [&] { SaveBytes(); }, S_FALSE},
      {"refused load", [&] { LoadBytes(Head(1255)); }, S_FALSE},
      {"apply preset", [&] { plugin_->ApplyPreset(0); }, S_OK},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_HR(step.dirtyAfter, persist_->IsDirty()) << step.what;
  }
}

TEST_F(PresetTest, SavesTheCurrentLayoutAndLoadsItBack) {
  Customise();
  const std::vector<BYTE> bytes = SaveBytes();
  ASSERT_EQ(2320u, bytes.size());
  EXPECT_EQ(2320u, GetU32(bytes, 0));
  EXPECT_TRUE(std::equal(std::begin(kFormatGuid), std::end(kFormatGuid), bytes.begin() + 4));
  EXPECT_EQ((std::vector<DWORD>{24243, 120, 0, 0}),
            (std::vector<DWORD>{GetU32(bytes, 20), GetU32(bytes, 24), GetU32(bytes, 28),
                                GetU32(bytes, 32)}));
  const PlugInParams before = Params();
  EXPECT_EQ(0, std::memcmp(&before, bytes.data() + 36, sizeof before));
  ULARGE_INTEGER size;
  EXPECT_HR(S_OK, persist_->GetSizeMax(&size));
  EXPECT_EQ(2320u, size.QuadPart);

  plugin_->ApplyPreset(0);
  Notified();
  ASSERT_HR(S_OK, LoadBytes(bytes));
  const PlugInParams after = Params();
  EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
  EXPECT_EQ(std::vector<WORD>{kNotifyParamsReplaced}, Notified());
}

TEST_F(PresetTest, ReadsTheOlderLayouts) {
  const OldRecord old = SampleOldRecord();
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    LONG monoToStereo;
    LONG pan;
  };
  std::vector<BYTE> v24242 = Head(1280);
  Append(&v24242, VersionBlock(24242).data(), 16);
  const std::vector<BYTE> record24242 = OldRecordBytes(old, true);
  v24242.insert(v24242.end(), record24242.begin(), record24242.end());
  std::vector<BYTE> oldest = Head(1256);
  const std::vector<BYTE> recordOldest = OldRecordBytes(old, false);
  oldest.insert(oldest.end(), recordOldest.begin(), recordOldest.end());
  ASSERT_EQ(1280u, v24242.size());
  ASSERT_EQ(1256u, oldest.size());
  const Case cases[] = {{"24242", v24242, 1, -37}, {"oldest", oldest, 0, 0}};

  for (const Case& c : cases) {
    prop_->SetMonoToStereo(1);
    prop_->SetPan(90);
    Notified();
    ASSERT_HR(S_OK, LoadBytes(c.bytes)) << c.what;
    const PlugInParams p = Params();
    EXPECT_EQ(0, std::memcmp(old.integers, &p.dryOut, sizeof old.integers)) << c.what;
    const std::basic_string<WCHAR> converted =
        Wide("C:\\Hall\\Caf") + std::basic_string<WCHAR>({0xE9, ' ', 0x20AC, ' ', 0x153}) +
        Wide(".irx");
    EXPECT_EQ(converted, std::basic_string<WCHAR>(p.impulseFile)) << c.what;
    EXPECT_EQ(Wide("tone.wav"), std::basic_string<WCHAR>(p.testFile)) << c.what;
    EXPECT_EQ(0, p.recordedFile[0]) << c.what;
    EXPECT_EQ(Wide(std::string(259, 'x')), std::basic_string<WCHAR>(p.outputFile)) << c.what;
    EXPECT_EQ(3, p.envelopeCount) << c.what;
    EXPECT_EQ(0, std::memcmp(old.points, p.envelopePoints, sizeof old.points)) << c.what;
    EXPECT_EQ(c.monoToStereo, p.monoToStereo) << c.what;
    EXPECT_EQ(c.pan, p.pan) << c.what;
    EXPECT_EQ(std::vector<WORD>{kNotifyParamsReplaced}, Notified()) << c.what;
  }
}

TEST_F(PresetTest, LoadedRecordsAreClampedAsSetParamsClamps) {
  PlugInParams p = DefaultPlugInParams();
  p.envelopeCount = 40;
  p.quality = 0;
  p.recoveryMode = 1;
  p.pan = 500;
  p.dryOut = -5000;
  ASSERT_HR(S_OK, LoadBytes(CurrentStream(p)));
  const PlugInParams loaded = Params();
  EXPECT_EQ(16, loaded.envelopeCount);
  EXPECT_EQ(1, loaded.quality);
  EXPECT_EQ(1503, loaded.recoveryMode);
  EXPECT_EQ(500, loaded.pan);
  EXPECT_EQ(-800, loaded.dryOut);
}

TEST_F(PresetTest, RefusedAndCutStreamsChangeNothing) {
  Customise();
  const std::vector<BYTE> good = CurrentStream(DefaultPlugInParams());
  std::vector<BYTE> otherGuid = good;
  otherGuid[19] ^= 1;
  std::vector<BYTE> short1255 = good;
  short1255[0] = 0xE7;  // total 1255
  short1255[1] = 0x04;
  std::vector<BYTE> oldest = Head(1256);
  oldest.resize(1256, 0);
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    HRESULT expected;
  };
  std::vector<Case> cases = {
      {"empty", {}, E_FAIL},
      {"total 1255", short1255, E_FAIL},
      {"other GUID", otherGuid, E_FAIL},
  };
  // Cut inside the head, the version block and the record of each layout.
  for (size_t cut : {1u, 19u, 20u, 35u, 36u, 1000u, 2319u}) {
    cases.push_back(
        {"current layout cut", std::vector<BYTE>(good.begin(), good.begin() + cut), E_FAIL});
  }
  for (size_t cut : {21u, 1255u}) {
    cases.push_back(
        {"oldest layout cut", std::vector<BYTE>(oldest.begin(), oldest.begin() + cut), E_FAIL});
  }
  const PlugInParams before = Params();
  for (const Case& c : cases) {
    SaveBytes();  // clears dirty
    Notified();
    EXPECT_HR(c.expected, LoadBytes(c.bytes)) << c.what << " " << c.bytes.size();
    const PlugInParams after = Params();
    EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before)) << c.what << " " << c.bytes.size();
    EXPECT_HR(S_FALSE, persist_->IsDirty()) << c.what;
    EXPECT_TRUE(Notified().empty()) << c.what;
  }

  // A stream that fails part way passes its own error on.
  CMemoryStream* failing = CMemoryStream::Create(good.data(), good.size());
  failing->FailReadsAfter(100);
  EXPECT_HR(STG_E_READFAULT, persist_->Load(failing));
  failing->Release();
  const PlugInParams afterFailure = Params();
  EXPECT_EQ(0, std::memcmp(&before, &afterFailure, sizeof before));
}

TEST_F(PresetTest, SaveReportsEveryWriteFailureAndStaysDirty) {
  // A packaged impulse of 3000 bytes: writes are the head, the version block, the record and
  // the impulse in two pieces.
  WriteWhole(ModuleFile("~IRX.TMP"), Pattern(3000, 1));
  prop_->SetImpulseFile(NXW("~IRX.TMP"));
  prop_->SetPackageImpulse(1);
  for (ULONGLONG failAfter : {0ull, 10ull, 20ull, 30ull, 36ull, 2000ull, 2320ull, 4000ull}) {
    CMemoryStream* stream = CMemoryStream::Create();
    stream->FailWritesAfter(failAfter);
    EXPECT_HR(STG_E_MEDIUMFULL, persist_->Save(stream, TRUE)) << failAfter;
    EXPECT_HR(S_OK, persist_->IsDirty()) << failAfter;
    stream->Release();
  }
  EXPECT_EQ(5320u, SaveBytes().size());
}

TEST_F(PresetTest, PackagedImpulseTravelsInPiecesAndComesBackAsIrxTmp) {
  const std::vector<BYTE> impulse = Pattern(5000, 2);
  WriteWhole(ModuleFile("~IRX.TMP"), impulse);
  prop_->SetImpulseFile(NXW("~IRX.TMP"));
  prop_->SetPackageImpulse(1);
  ULARGE_INTEGER size;
  EXPECT_HR(S_OK, persist_->GetSizeMax(&size));
  EXPECT_EQ(7320u, size.QuadPart);

  CMemoryStream* inner = CMemoryStream::Create();
  RecordingStream saving(inner);
  ASSERT_HR(S_OK, persist_->Save(&saving, TRUE));
  EXPECT_EQ((std::vector<ULONG>{20, 16, 2284, 2048, 2048, 904}), saving.writes);
  const std::vector<BYTE> bytes = inner->Bytes();
  inner->Release();
  ASSERT_EQ(7320u, bytes.size());
  EXPECT_EQ(7320u, GetU32(bytes, 0));
  EXPECT_TRUE(std::equal(impulse.begin(), impulse.end(), bytes.begin() + 2320));

  // Loaded elsewhere: the file is recreated whole, and the name points at it even when the
  // record held another one.
  std::filesystem::remove(ModuleFile("~IRX.TMP"));
  PlugInParams p;
  std::memcpy(&p, bytes.data() + 36, sizeof p);
  std::copy_n(NXW("elsewhere.irx"), 14, p.impulseFile);
  inner = CMemoryStream::Create();
  RecordingStream loading(inner);
  const std::vector<BYTE> renamed = CurrentStream(p, impulse);
  inner->Write(renamed.data(), static_cast<ULONG>(renamed.size()), nullptr);
  inner->Seek({}, STREAM_SEEK_SET, nullptr);
  prop_->SetImpulseFile(NXW("other"));
  ASSERT_HR(S_OK, persist_->Load(&loading));
  inner->Release();
  EXPECT_EQ((std::vector<ULONG>{20, 16, 2284, 2048, 2048, 904}), loading.reads);
  EXPECT_EQ(impulse, ReadWhole(ModuleFile("~IRX.TMP")));
  EXPECT_EQ(Wide("~IRX.TMP"), ImpulseName(prop_));
  EXPECT_EQ(1, Params().packageImpulse);
  EXPECT_EQ(1u, std::distance(std::filesystem::directory_iterator(folder_.Path()),
                              std::filesystem::directory_iterator()));
}

TEST_F(PresetTest, SaveWithoutAUsablePackagedImpulseWritesTheRecordAlone) {
  prop_->SetPackageImpulse(1);
  struct Case {
    const char* what;
    const WCHAR* impulseFile;
  };
  const std::string longName(300, 'n');
  const std::basic_string<WCHAR> wideLong = Wide(longName);
  for (const Case& c : {Case{"missing file", NXW("~IRX.TMP")}, Case{"empty name", NXW("")},
                        Case{"name past the path limit", wideLong.c_str()}}) {
    prop_->SetImpulseFile(c.impulseFile);
    const std::vector<BYTE> bytes = SaveBytes();
    EXPECT_EQ(2320u, bytes.size()) << c.what;
    EXPECT_EQ(2320u, GetU32(bytes, 0)) << c.what;
    ULARGE_INTEGER size;
    persist_->GetSizeMax(&size);
    EXPECT_EQ(2320u, size.QuadPart) << c.what;
  }
  // With packaging off an existing file stays out.
  WriteWhole(ModuleFile("~IRX.TMP"), Pattern(100, 3));
  prop_->SetImpulseFile(NXW("~IRX.TMP"));
  prop_->SetPackageImpulse(0);
  EXPECT_EQ(2320u, SaveBytes().size());
}

// Streams whose packaged impulse is cut, lies about its size or fails: the previous
// "~IRX.TMP" stays in place, whole, nothing half-written is left beside it, and the error is
// returned; the record itself, read whole, still replaces the parameters.
TEST_F(PresetTest, BadPackagedImpulsesNeverReplaceTheOneInUse) {
  const std::vector<BYTE> previous = Pattern(777, 4);
  PlugInParams p = DefaultPlugInParams();
  p.packageImpulse = 1;
  p.quality = 2;
  std::copy_n(NXW("~IRX.TMP"), 9, p.impulseFile);
  const std::vector<BYTE> impulse = Pattern(5000, 5);
  std::vector<BYTE> cut = CurrentStream(p, impulse);
  cut.resize(2320 + 4100);
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    ULONGLONG failReadsAfter;
    HRESULT expected;
  };
  const Case cases[] = {
      {"cut after two pieces", cut, ~0ull, E_FAIL},
      {"claims 4 GB", CurrentStream(p, Pattern(100, 6), 0xFFFFFFFFu), ~0ull, E_FAIL},
      {"claims 1 GB, holds nothing", CurrentStream(p, {}, 2320u + (1u << 30)), ~0ull, E_FAIL},
      {"read error inside", CurrentStream(p, impulse), 2320 + 3000, STG_E_READFAULT},
  };
  for (const Case& c : cases) {
    WriteWhole(ModuleFile("~IRX.TMP"), previous);
    prop_->SetQuality(5);
    CMemoryStream* stream = CMemoryStream::Create(c.bytes.data(), c.bytes.size());
    stream->FailReadsAfter(c.failReadsAfter);
    EXPECT_HR(c.expected, persist_->Load(stream)) << c.what;
    stream->Release();
    EXPECT_EQ(previous, ReadWhole(ModuleFile("~IRX.TMP"))) << c.what;
    EXPECT_EQ(1u, std::distance(std::filesystem::directory_iterator(folder_.Path()),
                                std::filesystem::directory_iterator()))
        << c.what;
    EXPECT_EQ(2, Params().quality) << c.what;
  }
}

TEST_F(PresetTest, PackagedBytesThatAreNotWantedOrCannotBeStored) {
  const std::vector<BYTE> impulse = Pattern(300, 7);
  PlugInParams p = DefaultPlugInParams();
  std::copy_n(NXW("named.irx"), 10, p.impulseFile);
  struct Case {
    const char* what;
    LONG packageImpulse;
    DWORD total;  // 0: the honest one
    bool moduleFolderWritable;
  };
  const Case cases[] = {
      {"not packaged: trailing bytes ignored", 0, 0, true},
      {"total below the layout: no impulse", 1, 1300, true},
      {"module folder missing: impulse dropped", 1, 0, false},
  };
  for (const Case& c : cases) {
    p.packageImpulse = c.packageImpulse;
    if (!c.moduleFolderWritable) {
      setenv("AURALITH_MODULE_DIR", (folder_ / "missing/").c_str(), 1);
    }
    EXPECT_HR(S_OK, LoadBytes(CurrentStream(p, impulse, c.total))) << c.what;
    setenv("AURALITH_MODULE_DIR", folder_.Path().c_str(), 1);
    EXPECT_FALSE(std::filesystem::exists(ModuleFile("~IRX.TMP"))) << c.what;
    EXPECT_EQ(Wide("named.irx"), ImpulseName(prop_)) << c.what;
    EXPECT_EQ(c.packageImpulse, Params().packageImpulse) << c.what;
  }
}

TEST_F(PresetTest, BuiltInPresets) {
  LONG count = 0;
  EXPECT_HR(S_OK, plugin_->GetPresetCount(&count));
  EXPECT_EQ(4, count);
  EXPECT_HR(E_POINTER, plugin_->GetPresetCount(nullptr));
  const char* names[] = {"(Default)", "Reset, highest quality",
                         "Reset, highest quality, with mono to stereo conversion",
                         "Reset, lower quality for real-time previewing"};
  const PlugInParams defaults = DefaultPlugInParams();
  for (LONG i = 0; i < 4; ++i) {
    WCHAR name[80];
    ASSERT_HR(S_OK, plugin_->GetPresetName(i, name, 80));
    EXPECT_EQ(Wide(names[i]), std::basic_string<WCHAR>(name));
    Customise();
    Notified();
    ASSERT_HR(S_OK, plugin_->ApplyPreset(i));
    EXPECT_EQ(std::vector<WORD>{kNotifyParamsReplaced}, Notified()) << i;
    PlugInParams expected = defaults;
    expected.monoToStereo = i == 2 ? 1 : 0;
    const PlugInParams applied = Params();
    EXPECT_EQ(0, std::memcmp(&expected, &applied, sizeof expected)) << i;
  }
  EXPECT_EQ(3, defaults.quality);
  EXPECT_EQ(2, defaults.envelopeCount);
  EXPECT_EQ(1000, defaults.envelopePoints[1].position);

  WCHAR cut[5] = {'?', '?', '?', '?', '?'};
  EXPECT_HR(S_OK, plugin_->GetPresetName(0, cut, 5));
  EXPECT_EQ(Wide("(Def"), std::basic_string<WCHAR>(cut));
  cut[0] = '?';
  EXPECT_HR(S_OK, plugin_->GetPresetName(1, cut, 0));
  EXPECT_EQ('?', cut[0]);
  for (LONG bad : {-1L, 4L, 0x7FFFFFFFL}) {
    EXPECT_HR(E_INVALIDARG, plugin_->GetPresetName(bad, cut, 5)) << bad;
    EXPECT_HR(E_INVALIDARG, plugin_->ApplyPreset(bad)) << bad;
  }
  EXPECT_TRUE(Notified().empty());
}

}  // namespace
