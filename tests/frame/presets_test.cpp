// The filter's presets: IPersistStream (layout written, the three layouts read byte by byte,
// dirty rules, the packaged impulse through "~IRX.TMP", hostile and failing streams) and
// IStaticFilterPreset.
#include <functional>

#include "filter_test_util.h"
#include "frame/builtin_presets.h"
#include "platform/file_replacement.h"
#include "platform/private_profile.h"
#include "platform/window.h"

namespace {

constexpr BYTE kFormatGuid[16] = {0x83, 0xC2, 0x41, 0x6D, 0x7B, 0x3F, 0xD0, 0x11,
                                  0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19};

// The 20-byte head and, unless `version` is 0, the version block.
Bytes Head(DWORD total, LONG version = 0) {
  Bytes out = Le({total}) + Bytes(std::begin(kFormatGuid), std::end(kFormatGuid));
  return version != 0 ? out + Le({static_cast<DWORD>(version), 120, 0, 0}) : out;
}

Bytes CurrentStream(const PlugInParams& params, const Bytes& impulse = {}, DWORD total = 0) {
  const BYTE* record = reinterpret_cast<const BYTE*>(&params);
  return Head(total != 0 ? total : 2320 + static_cast<DWORD>(impulse.size()), 24243) +
         Bytes(record, record + sizeof params) + impulse;
}

// An old record as both old layouts store it: the 16 integers, four 260-byte ANSI names, the
// envelope, then (version 24242 only) monoToStereo 1 and pan -37.
const LONG kOldIntegers[16] = {-120, -30, 80, 1, 350,  -250, 8000, -40,
                               120,  60,  1,  1, 1504, 0,    0,    4};
const EnvelopePoint kOldPoints[3] = {{0, 100}, {400, 60}, {1000, 0}};

Bytes OldRecord(bool version24242) {
  Bytes out;
  for (LONG v : kOldIntegers) out += Le({static_cast<DWORD>(v)});
  const std::string names[4] = {"C:\\Hall\\Caf\xE9 \x80 \x9C.irx", "tone.wav", "",
                                std::string(260, 'x')};  // the last fills its field unterminated
  for (const std::string& name : names) {
    out += B(name);
    out.resize(out.size() + 260 - name.size(), 0);
  }
  out += Le({3});
  for (const EnvelopePoint& point : kOldPoints)
    out += Le({static_cast<DWORD>(point.position), static_cast<DWORD>(point.level)});
  out.resize(out.size() + 13 * 8, 0);
  return version24242 ? out + Le({1, static_cast<DWORD>(-37)}) : out;
}

Bytes Pattern(size_t size, unsigned seed) {
  Bytes bytes(size);
  std::mt19937 random(seed);
  for (BYTE& b : bytes) b = static_cast<BYTE>(random());
  return bytes;
}

// A filter with the module folder pointed at a fresh temporary folder and one window
// registered for notifications.
class PresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("AURALITH_MODULE_DIR", folder_.Path().c_str(), 1);
    plugin_ = NewPlugIn();
    ASSERT_NE(plugin_, nullptr);
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
    while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) codes.push_back(HIWORD(msg.wParam));
    return codes;
  }
  PlugInParams Params() {
    PlugInParams params;
    prop_->GetParams(&params);
    return params;
  }
  bool ParamsAre(const PlugInParams& expected) {
    const PlugInParams now = Params();
    return std::memcmp(&expected, &now, sizeof now) == 0;
  }
  std::basic_string<WCHAR> ImpulseName() { return Params().impulseFile; }
  HRESULT LoadBytes(const Bytes& bytes, ULONGLONG failReadsAfter = ~0ull,
                    std::vector<ULONG>* reads = nullptr) {
    CMemoryStream* stream = CMemoryStream::Create(bytes.data(), bytes.size());
    stream->FailReadsAfter(failReadsAfter);
    stream->RecordTransfers(reads, nullptr);
    const HRESULT hr = persist_->Load(stream);
    stream->Release();
    return hr;
  }
  Bytes SaveBytes(BOOL clearDirty = TRUE, std::vector<ULONG>* writes = nullptr) {
    CMemoryStream* stream = CMemoryStream::Create();
    stream->RecordTransfers(nullptr, writes);
    EXPECT_HR(S_OK, persist_->Save(stream, clearDirty));
    Bytes bytes = stream->Bytes();
    stream->Release();
    return bytes;
  }
  ULONGLONG SizeMax() {
    ULARGE_INTEGER size = {};
    EXPECT_HR(S_OK, persist_->GetSizeMax(&size));
    return size.QuadPart;
  }
  // Settings away from the defaults, so that a load that changes nothing shows.
  void Customise() {
    prop_->SetDryOut(-100);
    prop_->SetQuality(5);
    prop_->SetPan(42);
    prop_->SetImpulseFile(NXW("hall.irx"));
  }
  size_t FilesInModuleFolder() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder_.Path()),
                                             std::filesystem::directory_iterator()));
  }
  std::string IrxTmp() const { return folder_ / "~IRX.TMP"; }

  TempFolder folder_;
  CNxPlugIn* plugin_ = nullptr;
  IPersistStream* persist_ = nullptr;
  INxPlugInProp* prop_ = nullptr;
  HWND window_ = nullptr;
};

TEST_F(PresetTest, DirtyRulesAndNullArguments) {
  EXPECT_HR(E_POINTER, persist_->Load(nullptr));
  EXPECT_HR(E_POINTER, persist_->Save(nullptr, TRUE));
  EXPECT_HR(E_POINTER, persist_->GetSizeMax(nullptr));
  EXPECT_HR(S_OK, persist_->IsDirty());  // the defaults were set at construction
  const Bytes saved = SaveBytes();
  const std::pair<std::function<void()>, HRESULT> steps[] = {
      {[&] { SaveBytes(FALSE); }, S_FALSE}, {[&] { prop_->SetQuality(3); }, S_FALSE},  // unchanged
      {[&] { prop_->SetQuality(4); }, S_OK},    {[&] { SaveBytes(FALSE); }, S_OK},
      {[&] { SaveBytes(); }, S_FALSE},          {[&] { LoadBytes(saved); }, S_OK},
      {[&] { SaveBytes(); }, S_FALSE},          {[&] { LoadBytes(Head(1255)); }, S_FALSE},
      {[&] { plugin_->ApplyPreset(0); }, S_OK},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    steps[i].first();
    EXPECT_HR(steps[i].second, persist_->IsDirty()) << "step " << i;
  }
}

TEST_F(PresetTest, SavesTheCurrentLayoutAndLoadsItBack) {
  Customise();
  const Bytes bytes = SaveBytes();
  const PlugInParams before = Params();
  EXPECT_EQ(CurrentStream(before), bytes);
  plugin_->ApplyPreset(0);
  Notified();
  ASSERT_HR(S_OK, LoadBytes(bytes));
  EXPECT_TRUE(ParamsAre(before));
  EXPECT_EQ(std::vector<WORD>{kNotifyParamsReplaced}, Notified());
}

TEST_F(PresetTest, ReadsTheOlderLayouts) {
  const Bytes v24242 = Head(1280, 24242) + OldRecord(true);
  const Bytes oldest = Head(1256) + OldRecord(false);
  ASSERT_EQ(1280u, v24242.size());
  ASSERT_EQ(1256u, oldest.size());
  const std::basic_string<WCHAR> converted =
      Wide("C:\\Hall\\Caf") + std::basic_string<WCHAR>({0xE9, ' ', 0x20AC, ' ', 0x153}) +
      Wide(".irx");
  struct Case {
    const Bytes& bytes;
    LONG monoToStereo;
    LONG pan;
  };
  for (const Case& c : {Case{v24242, 1, -37}, Case{oldest, 0, 0}}) {
    prop_->SetMonoToStereo(1);
    prop_->SetPan(90);
    Notified();
    ASSERT_HR(S_OK, LoadBytes(c.bytes)) << c.bytes.size();
    const PlugInParams p = Params();
    EXPECT_EQ(0, std::memcmp(kOldIntegers, &p.dryOut, sizeof kOldIntegers));
    EXPECT_EQ(converted, std::basic_string<WCHAR>(p.impulseFile));
    EXPECT_EQ(Wide("tone.wav"), std::basic_string<WCHAR>(p.testFile));
    EXPECT_EQ(0, p.recordedFile[0]);
    EXPECT_EQ(Wide(std::string(259, 'x')), std::basic_string<WCHAR>(p.outputFile));
    EXPECT_EQ(3, p.envelopeCount);
    EXPECT_EQ(0, std::memcmp(kOldPoints, p.envelopePoints, sizeof kOldPoints));
    EXPECT_EQ(0, p.envelopePoints[3].position);
    EXPECT_EQ(c.monoToStereo, p.monoToStereo);
    EXPECT_EQ(c.pan, p.pan);
    EXPECT_EQ(std::vector<WORD>{kNotifyParamsReplaced}, Notified());
  }
}

// Refused heads and records cut short (or failing) leave the parameters, the dirty flag and
// the windows alone.
TEST_F(PresetTest, RefusedAndCutStreamsChangeNothing) {
  Customise();
  const Bytes good = CurrentStream(DefaultPlugInParams());
  Bytes otherGuid = good;
  otherGuid[19] ^= 1;
  Bytes oldest = Head(1256);
  oldest.resize(1256, 0);
  std::vector<std::pair<Bytes, HRESULT>> cases = {
      {{}, E_FAIL}, {Head(1255, 24243), E_FAIL}, {otherGuid, E_FAIL}};
  for (size_t cut : {1u, 19u, 20u, 35u, 36u, 1000u, 2319u}) {
    cases.push_back({Bytes(good.begin(), good.begin() + cut), E_FAIL});
  }
  for (size_t cut : {21u, 1255u})
    cases.push_back({Bytes(oldest.begin(), oldest.begin() + cut), E_FAIL});
  const PlugInParams before = Params();
  for (const auto& c : cases) {
    SaveBytes();
    Notified();
    EXPECT_HR(c.second, LoadBytes(c.first)) << c.first.size();
    EXPECT_TRUE(ParamsAre(before)) << c.first.size();
    EXPECT_HR(S_FALSE, persist_->IsDirty()) << c.first.size();
    EXPECT_TRUE(Notified().empty()) << c.first.size();
  }
}

TEST_F(PresetTest, SaveReportsEveryWriteFailureAndStaysDirty) {
  WriteFileBytes(IrxTmp(), Pattern(3000, 1));
  prop_->SetImpulseFile(NXW("~IRX.TMP"));
  prop_->SetPackageImpulse(1);
  // Inside the head, the version block, the record and each impulse piece.
  for (ULONGLONG failAfter : {0ull, 10ull, 20ull, 30ull, 36ull, 2000ull, 2320ull, 4400ull}) {
    CMemoryStream* stream = CMemoryStream::Create();
    stream->FailWritesAfter(failAfter);
    EXPECT_HR(STG_E_MEDIUMFULL, persist_->Save(stream, TRUE)) << failAfter;
    EXPECT_HR(S_OK, persist_->IsDirty()) << failAfter;
    stream->Release();
  }
  EXPECT_EQ(5320u, SaveBytes().size());
}

// A writer on a disk that fills up after N bytes: the call fails with "disk full" recorded, the
// file keeps its previous bytes and no temporary is left; with room it writes.
typedef std::function<bool(const std::string&)> FileWriter;
void ExpectFullDiskKeepsThePreviousFile(const std::string& path, const FileWriter& write) {
  for (ULONGLONG failAfter : {0ull, 10ull}) {
    const Bytes before = Pattern(50, 5);
    WriteFileBytes(path, before);
    NxFileReplacement::FailWritesAfterForTests(failAfter);
    const bool written = write(path);
    const NxFileError error = NxGetLastFileError();
    NxFileReplacement::FailWritesAfterForTests(~0ull);
    EXPECT_FALSE(written) << path << " " << failAfter;
    EXPECT_EQ(NxFileError::DiskFull, error) << path << " " << failAfter;
    EXPECT_EQ(before, ReadFileBytes(path)) << path << " " << failAfter;
    EXPECT_FALSE(std::filesystem::exists(path + ".~part")) << path;
  }
  EXPECT_TRUE(write(path)) << path;
  EXPECT_NE(Pattern(50, 5), ReadFileBytes(path)) << path;
  EXPECT_FALSE(std::filesystem::exists(path + ".~part")) << path;
}

// The packaged impulse a load receives (the preset file itself: the command line's suite).
TEST_F(PresetTest, PackagedImpulseOnAFullDiskLeavesThePreviousFile) {
  PlugInParams withImpulse = Params();
  withImpulse.packageImpulse = 1;
  std::copy_n(NXW("~IRX.TMP"), 9, withImpulse.impulseFile);
  const Bytes packaged = CurrentStream(withImpulse, Pattern(5000, 4));
  ExpectFullDiskKeepsThePreviousFile(
      folder_ / "~IRX.TMP", [&](const std::string&) { return LoadBytes(packaged) == S_OK; });
}

// Our own settings-file writer; on Windows the system's private-profile calls write the file, so
// the Windows suite skips this case.
TEST_F(PresetTest, SettingsFileOnAFullDiskKeepsThePreviousFile) {
  ExpectFullDiskKeepsThePreviousFile(folder_ / "auralith.ini", [](const std::string& path) {
    return WritePrivateProfileStringW(NXW("Auralith"), NXW("Key"), NXW("value"),
                                      Wide(path).c_str()) != FALSE;
  });
}

TEST_F(PresetTest, PackagedImpulseTravelsInPiecesAndComesBackAsIrxTmp) {
  const Bytes impulse = Pattern(5000, 2);
  WriteFileBytes(IrxTmp(), impulse);
  prop_->SetImpulseFile(NXW("~IRX.TMP"));
  prop_->SetPackageImpulse(1);
  EXPECT_EQ(7320u, SizeMax());
  const std::vector<ULONG> pieces = {20, 16, 2284, 2048, 2048, 904};
  std::vector<ULONG> writes;
  const Bytes bytes = SaveBytes(TRUE, &writes);
  EXPECT_EQ(pieces, writes);
  EXPECT_EQ(CurrentStream(Params(), impulse), bytes);

  // Loaded elsewhere: the file comes back whole, and the name points at it even when the
  // record held another one.
  std::filesystem::remove(IrxTmp());
  PlugInParams p = Params();
  std::copy_n(NXW("elsewhere.irx"), 14, p.impulseFile);
  prop_->SetImpulseFile(NXW("other"));
  std::vector<ULONG> reads;
  ASSERT_HR(S_OK, LoadBytes(CurrentStream(p, impulse), ~0ull, &reads));
  EXPECT_EQ(pieces, reads);
  EXPECT_EQ(impulse, ReadFileBytes(IrxTmp()));
  EXPECT_EQ(Wide("~IRX.TMP"), ImpulseName());
  EXPECT_EQ(1u, FilesInModuleFolder());
}

TEST_F(PresetTest, NothingIsPackagedWithoutAUsableFile) {
  prop_->SetPackageImpulse(1);
  const std::basic_string<WCHAR> tooLong = Wide(std::string(300, 'n'));
  for (const WCHAR* name : {NXW("~IRX.TMP"), NXW(""), tooLong.c_str()}) {
    prop_->SetImpulseFile(name);
    EXPECT_EQ(2320u, GetLe(SaveBytes(), 0));
    EXPECT_EQ(2320u, SizeMax());
  }
  // A module folder that with the name makes exactly 260 units leaves no room for the terminator.
  const std::string deep = folder_ / (std::string(251 - (folder_ / "").size(), 'd') + "/");
  std::filesystem::create_directories(deep);
  WriteFileBytes(deep + "~IRX.TMP", Pattern(100, 3));
  setenv("AURALITH_MODULE_DIR", deep.c_str(), 1);
  prop_->SetImpulseFile(NXW("~IRX.TMP"));
  EXPECT_EQ(2320u, SaveBytes().size());
  setenv("AURALITH_MODULE_DIR", folder_.Path().c_str(), 1);
  WriteFileBytes(IrxTmp(), Pattern(100, 3));
  prop_->SetImpulseFile(NXW("~IRX.TMP"));
  prop_->SetPackageImpulse(0);
  EXPECT_EQ(2320u, SaveBytes().size());
}

// A packaged impulse that is cut, claims gigabytes or fails never replaces the "~IRX.TMP" in
// place and leaves nothing beside it; the error is returned, and the record, read whole, still
// replaces the parameters.
TEST_F(PresetTest, BadPackagedImpulsesNeverReplaceTheOneInUse) {
  const Bytes previous = Pattern(777, 4);
  PlugInParams p = DefaultPlugInParams();
  p.packageImpulse = 1;
  p.quality = 2;
  std::copy_n(NXW("~IRX.TMP"), 9, p.impulseFile);
  const Bytes impulse = Pattern(5000, 5);
  Bytes cut = CurrentStream(p, impulse);
  cut.resize(2320 + 4100);
  struct Case {
    Bytes bytes;
    ULONGLONG failReadsAfter;
    HRESULT expected;
  };
  const Case cases[] = {
      {cut, ~0ull, E_FAIL},
      {CurrentStream(p, Pattern(100, 6), 0xFFFFFFFFu), ~0ull, E_FAIL},
      {CurrentStream(p, {}, 2320u + (1u << 30)), ~0ull, E_FAIL},
      {CurrentStream(p, impulse), 2320 + 3000, STG_E_READFAULT},
  };
  for (const Case& c : cases) {
    WriteFileBytes(IrxTmp(), previous);
    prop_->SetQuality(5);
    EXPECT_HR(c.expected, LoadBytes(c.bytes, c.failReadsAfter)) << c.bytes.size();
    EXPECT_EQ(previous, ReadFileBytes(IrxTmp()));
    EXPECT_EQ(1u, FilesInModuleFolder());
    EXPECT_EQ(2, Params().quality);
  }
}

TEST_F(PresetTest, BuiltInPresets) {
  LONG count = 0;
  EXPECT_HR(S_OK, plugin_->GetPresetCount(&count));
  EXPECT_EQ(4, count);
  const char* names[] = {"(Default)", "Reset, highest quality",
                         "Reset, highest quality, with mono to stereo conversion",
                         "Reset, lower quality for real-time previewing"};
  for (LONG i = 0; i < 4; ++i) {
    WCHAR name[80];
    ASSERT_HR(S_OK, plugin_->GetPresetName(i, name, 80));
    EXPECT_EQ(Wide(names[i]), std::basic_string<WCHAR>(name));
    Customise();
    Notified();
    ASSERT_HR(S_OK, plugin_->ApplyPreset(i));
    EXPECT_EQ(std::vector<WORD>{kNotifyParamsReplaced}, Notified()) << i;
    PlugInParams expected = DefaultPlugInParams();
    expected.monoToStereo = i == 2 ? 1 : 0;
    EXPECT_TRUE(ParamsAre(expected)) << i;
    EXPECT_EQ(3, Params().quality);
  }
  WCHAR cut[5] = {'?', '?', '?', '?', '?'};
  EXPECT_HR(S_OK, plugin_->GetPresetName(0, cut, 5));
  EXPECT_EQ(Wide("(Def"), std::basic_string<WCHAR>(cut));
  cut[0] = '?';
  EXPECT_HR(S_OK, plugin_->GetPresetName(1, cut, 0));
  EXPECT_EQ('?', cut[0]);
  for (LONG bad : {LONG{-1}, LONG{4}, LONG{0x7FFFFFFF}}) {
    EXPECT_HR(E_INVALIDARG, plugin_->GetPresetName(bad, cut, 5)) << bad;
    EXPECT_HR(E_INVALIDARG, plugin_->ApplyPreset(bad)) << bad;
  }
  EXPECT_TRUE(Notified().empty());
}

}  // namespace
