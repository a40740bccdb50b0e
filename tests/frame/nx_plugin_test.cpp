// CNxPlugIn as a COM object: interfaces, reference counts, pins, media types accepted, refused
// and offered, format storage and notifications, buffer sizing, and the packaged impulse file.

#include "filter_test_util.h"
#include "platform/dshow/property_pages.h"
#include "platform/dshow/task_memory.h"
#include "platform/dshow/transform_output_pin.h"
#include "platform/module_file.h"
#include "platform/window.h"
#include "toolkit/string_table.h"

namespace {

// One filter held through its IBaseFilter for the test's lifetime.
class PlugInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HRESULT hr = E_FAIL;
    plugin_ = static_cast<CNxPlugIn*>(CNxPlugIn::CreateInstance(nullptr, &hr));
    ASSERT_HR(S_OK, hr);
    ASSERT_NE(plugin_, nullptr);
    filter_ = plugin_;
    EXPECT_EQ(1u, filter_->AddRef());
  }
  void TearDown() override {
    if (filter_ != nullptr) {
      EXPECT_EQ(0u, filter_->Release());
    }
  }
  CNxPlugIn* plugin_ = nullptr;
  IBaseFilter* filter_ = nullptr;
};

TEST_F(PlugInTest, AnswersItsInterfacesAndCountsEveryReference) {
  ExpectInterfaces(filter_,
                   {&IID_INxPlugInProp, &IID_ISpecifyPropertyPages, &IID_IPersistStream,
                    &IID_IStaticFilterPreset, &IID_INxTranslationInfo, &IID_IBaseFilter,
                    &IID_IMediaFilter, &IID_IPersist, &IID_IAMovieSetup, &IID_IUnknown},
                   {&IID_IPin, &IID_IMemInputPin, &IID_IStream, &IID_IFilterGraph,
                    &IID_IMemAllocator, &IID_IEnumPins});
}

TEST_F(PlugInTest, ClassIdPagesSetupRecordAndPins) {
  CLSID clsid = GUID_NULL;
  EXPECT_HR(S_OK, filter_->GetClassID(&clsid));
  EXPECT_TRUE(clsid == CLSID_NxPlugIn);
  CAUUID list = {};
  ASSERT_HR(S_OK, static_cast<ISpecifyPropertyPages*>(plugin_)->GetPages(&list));
  const CLSID order[] = {CLSID_NxGeneralPage, CLSID_NxEnvelopePage, CLSID_NxSummaryPage,
                         CLSID_NxRecoverPage};
  ASSERT_EQ(4u, list.cElems);
  EXPECT_TRUE(std::equal(std::begin(order), std::end(order), list.pElems));
  CoTaskMemFree(list.pElems);
  const AMOVIESETUP_FILTER* setup = plugin_->GetSetupData();
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(0x200000u, setup->dwMerit);
  EXPECT_EQ(2u, setup->nPins);

  // The pins are found by their names and the short ones, case and all.
  ASSERT_EQ(2, plugin_->GetPinCount());
  EXPECT_EQ(nullptr, plugin_->GetPin(2));
  const struct {
    const WCHAR* name;
    int index;
  } lookups[] = {{NXW("Input"), 0}, {NXW("In"), 0}, {NXW("Output"), 1}, {NXW("Out"), 1},
                 {NXW("input"), -1}};
  for (const auto& lookup : lookups) {
    IPin* pin = reinterpret_cast<IPin*>(1);
    EXPECT_HR(lookup.index < 0 ? VFW_E_NOT_FOUND : S_OK, filter_->FindPin(lookup.name, &pin));
    EXPECT_EQ(lookup.index < 0 ? nullptr : static_cast<IPin*>(plugin_->GetPin(lookup.index)), pin);
    if (pin != nullptr) pin->Release();
  }
}

TEST_F(PlugInTest, InputTypesAcceptedAndRefused) {
  const struct {
    WAVEFORMATEX format;
    ULONG formatBytes;
    HRESULT expected;
    const char* what;
  } cases[] = {
      {Wave(WAVE_FORMAT_PCM, 1, 44100, 16), 18, S_OK, "16-bit mono"},
      {Wave(WAVE_FORMAT_PCM, 2, 44100, 16), 16, S_OK, "16-bit stereo, 16-byte block"},
      {Wave(WAVE_FORMAT_IEEE_FLOAT, 1, 48000, 32), 18, S_OK, "float mono"},
      {Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 96000, 64), 18, S_OK, "double stereo"},
      {Wave(WAVE_FORMAT_PCM, 2, 44100, 8), 18, E_INVALIDARG, "8-bit"},
      {Wave(WAVE_FORMAT_PCM, 2, 44100, 24), 18, E_INVALIDARG, "24-bit"},
      {Wave(WAVE_FORMAT_PCM, 2, 44100, 32), 18, E_INVALIDARG, "32-bit integer"},
      {Wave(WAVE_FORMAT_IEEE_FLOAT, 6, 48000, 32), 18, E_INVALIDARG, "6 channels"},
      {Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 16), 18, E_INVALIDARG, "16-bit float"},
      {Wave(WAVE_FORMAT_EXTENSIBLE, 2, 48000, 32), 40, E_INVALIDARG, "extensible"},
      {Wave(WAVE_FORMAT_PCM, 2, 44100, 16), 15, E_INVALIDARG, "block too short"},
  };
  for (const auto& c : cases) {
    CMediaType type = AudioType(c.format, c.formatBytes);
    EXPECT_HR(c.expected, plugin_->CheckInputType(&type)) << c.what;
  }
  CMediaType video = AudioType(Wave(WAVE_FORMAT_PCM, 2, 44100, 16));
  video.SetType(&MEDIATYPE_Video);
  EXPECT_HR(E_INVALIDARG, plugin_->CheckInputType(&video));
  // Subtype and format type are not looked at.
  CMediaType odd = AudioType(Wave(WAVE_FORMAT_PCM, 2, 44100, 16));
  odd.SetSubtype(&GUID_NULL);
  odd.SetFormatType(&GUID_NULL);
  EXPECT_HR(S_OK, plugin_->CheckInputType(&odd));
}

TEST_F(PlugInTest, CheckTransformFollowsTheChannelRule) {
  const CMediaType mono = AudioType(Wave(WAVE_FORMAT_PCM, 1, 44100, 16));
  const CMediaType stereo = AudioType(Wave(WAVE_FORMAT_PCM, 2, 44100, 16));
  EXPECT_HR(S_OK, plugin_->CheckTransform(&mono, &mono));
  EXPECT_HR(E_INVALIDARG, plugin_->CheckTransform(&mono, &stereo));
  EXPECT_HR(E_INVALIDARG, plugin_->CheckTransform(&stereo, &mono));
  plugin_->SetMonoToStereo(1);
  EXPECT_HR(S_OK, plugin_->CheckTransform(&mono, &stereo));
  EXPECT_HR(S_OK, plugin_->CheckTransform(&stereo, &stereo));
  EXPECT_HR(E_INVALIDARG, plugin_->CheckTransform(&mono, &mono));
  const CMediaType otherRate = AudioType(Wave(WAVE_FORMAT_PCM, 2, 48000, 16));
  const CMediaType otherTag = AudioType(Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 16));
  const CMediaType otherBits = AudioType(Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32));
  EXPECT_HR(E_INVALIDARG, plugin_->CheckTransform(&stereo, &otherRate));
  EXPECT_HR(E_INVALIDARG, plugin_->CheckTransform(&stereo, &otherTag));
  EXPECT_HR(E_INVALIDARG, plugin_->CheckTransform(&otherTag, &otherBits));
}

// A push source connected to a filter's input, in a graph with a recording sink.
class ConnectedTest : public ::testing::Test {
 protected:
  void Connect(const WAVEFORMATEX& format, LONG bufferBytes) {
    ASSERT_HR(S_OK, chain_.Connect(AudioType(format), bufferBytes, false));
  }
  void TearDown() override { EXPECT_EQ(0u, chain_.Close()); }
  PushGraph chain_;
  CNxPlugIn* plugin_ = chain_.filter;
  CWaveSinkFilter& sink_ = chain_.sink;
};

TEST_F(ConnectedTest, StoresBothFormatsAndTellsTheWindows) {
  HWND window = NxCreateWindow(nullptr);
  ASSERT_HR(S_OK, plugin_->RegisterNotifyWindow(window, 77));
  plugin_->SetMonoToStereo(1);
  WAVEFORMATEX stored;
  EXPECT_HR(VFW_E_NOT_CONNECTED, plugin_->GetStreamFormat(&stored, kInputFormat));
  WAVEFORMATEX odd = Wave(WAVE_FORMAT_PCM, 1, 44100, 16);
  odd.nBlockAlign = 7;  // recomputed from bits and channels when stored
  odd.nAvgBytesPerSec = 1;
  Connect(odd, 4096);
  ASSERT_HR(S_OK, chain_.ConnectOutput());
  for (const auto& [which, fields] :
       {std::make_pair(kInputFormat, std::vector<DWORD>{1, 2, 88200, 0}),
        std::make_pair(kOutputFormat, std::vector<DWORD>{2, 4, 176400, 0})}) {
    ASSERT_HR(S_OK, plugin_->GetStreamFormat(&stored, which));
    EXPECT_EQ(fields, (std::vector<DWORD>{stored.nChannels, stored.nBlockAlign,
                                          stored.nAvgBytesPerSec, stored.cbSize}));
  }
  std::vector<WORD> codes;
  MSG msg;
  while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
    codes.push_back(HIWORD(msg.wParam));
  EXPECT_EQ((std::vector<WORD>{kNotifyInputFormat, kNotifyOutputFormat}), codes);
  DestroyWindow(window);
}

TEST_F(ConnectedTest, OutputBuffersUnder512BytesFailTheConnection) {
  Connect(Wave(WAVE_FORMAT_PCM, 2, 44100, 16), 256);
  AM_MEDIA_TYPE full;
  ASSERT_HR(S_OK, plugin_->GetPin(0)->ConnectionMediaType(&full));
  EXPECT_HR(E_FAIL, chain_.graph->ConnectDirect(plugin_->GetPin(1), sink_.GetPin(0), &full));
  FreeMediaType(full);
  EXPECT_FALSE(plugin_->GetPin(1)->IsConnected());
  // 512 bytes is enough.
  ASSERT_HR(S_OK, chain_.graph->RemoveFilter(chain_.source));
  chain_.source = new PushSource(AudioType(Wave(WAVE_FORMAT_PCM, 2, 44100, 16)), 512);
  ASSERT_HR(S_OK, chain_.graph->AddFilter(chain_.source, NXW("source 2")));
  ASSERT_HR(S_OK, chain_.graph->ConnectDirect(&chain_.source->Pin(), plugin_->GetPin(0), nullptr));
  ASSERT_HR(S_OK, chain_.ConnectOutput());
  ALLOCATOR_PROPERTIES granted;
  static_cast<CTransformOutputPin*>(plugin_->GetPin(1))->Allocator()->GetProperties(&granted);
  EXPECT_EQ(512, granted.cbBuffer);
}

TEST_F(ConnectedTest, NewInputTypeReconnectsTheOutput) {
  Connect(Wave(WAVE_FORMAT_PCM, 1, 44100, 16), 4096);
  ASSERT_HR(S_OK, chain_.ConnectOutput());
  WAVEFORMATEX f;
  ASSERT_TRUE(ReadAudioFormat(sink_.GetPin(0)->CurrentMediaType(), &f));
  EXPECT_EQ(1, f.nChannels);
  // Mono-to-stereo switched on while connected: the next input connection finds the output's
  // mono type wrong and has the graph reconnect it.
  plugin_->SetMonoToStereo(1);
  ASSERT_HR(S_OK, chain_.graph->Disconnect(&chain_.source->Pin()));
  ASSERT_HR(S_OK, chain_.graph->Disconnect(plugin_->GetPin(0)));
  ASSERT_HR(S_OK, chain_.graph->ConnectDirect(&chain_.source->Pin(), plugin_->GetPin(0), nullptr));
  EXPECT_HR(S_OK, chain_.graph->LastReconnectResult());
  ASSERT_TRUE(plugin_->GetPin(1)->IsConnected());
  ASSERT_TRUE(ReadAudioFormat(sink_.GetPin(0)->CurrentMediaType(), &f));
  EXPECT_EQ(2, f.nChannels);
  ASSERT_HR(S_OK, plugin_->GetStreamFormat(&f, kOutputFormat));
  EXPECT_EQ(2, f.nChannels);
}

TEST(PlugInLifetime, TheLastFilterRemovesThePackagedImpulse) {
  const TempFolder module("AURALITH_MODULE_DIR");
  std::ofstream(module / "~IRX.TMP") << "impulse bytes";
  const LONG before = CNxPlugIn::InstancesAlive();
  IBaseFilter* first = NewPlugIn();
  IBaseFilter* second = NewPlugIn();
  EXPECT_EQ(before + 2, CNxPlugIn::InstancesAlive());
  EXPECT_EQ(0u, first->Release());
  // Another filter may still be playing it.
  EXPECT_TRUE(std::filesystem::exists(module / "~IRX.TMP"));
  EXPECT_EQ(0u, second->Release());
  EXPECT_FALSE(std::filesystem::exists(module / "~IRX.TMP"));
  EXPECT_EQ(before, CNxPlugIn::InstancesAlive());
}

// English (any sublanguage) selects the built-in texts, another language the language file
// beside the module; without that file the switch fails and the current texts stay.
TEST(PlugInLifetime, TranslationSwitchesBetweenTheLanguageFileAndEnglish) {
  using Text = std::basic_string<WCHAR>;
  const TempFolder module("AURALITH_MODULE_DIR");
  WCHAR path[4096];
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, path, 4096));
  WCHAR language[4096];
  ASSERT_TRUE(NxLanguageFilePath(path, language, 4096));
  const std::string languageFile(language, language + Text(language).size());
  auto* plugin = static_cast<CNxPlugIn*>(CNxPlugIn::CreateInstance(nullptr, nullptr));
  INxTranslationInfo* translation = nullptr;
  ASSERT_HR(S_OK, static_cast<IBaseFilter*>(plugin)->QueryInterface(
                      IID_INxTranslationInfo, reinterpret_cast<void**>(&translation)));
  const struct {
    bool fileThere;
    WORD language;
    HRESULT hr;
    Text general;
  } steps[] = {{false, 0x0407, E_FAIL, NXW("General")}, {true, 0x0407, S_OK, NXW("Allgemein")},
               {false, 0x040C, E_FAIL, NXW("Allgemein")}, {false, 0x0809, S_OK, NXW("General")},
               {true, 0x0409, S_OK, NXW("General")}};
  for (const auto& step : steps) {
    if (step.fileThere) std::ofstream(languageFile) << "1=Allgemein\n";
    EXPECT_HR(step.hr, translation->SetLanguage(step.language)) << std::hex << step.language;
    EXPECT_EQ(step.general, Text(NxGetString(IDS_PAGE_GENERAL))) << step.language;
    std::filesystem::remove(languageFile);
  }
  EXPECT_EQ(0u, translation->Release());
}

}  // namespace
