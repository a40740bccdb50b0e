// The four pages driven through a fake page window as a user drives them, on the real filter
// made by the module's class factory.

#include "tests/support/test_support.h"

#include <cmath>

#include "frame/guids.h"
#include "module/module.h"
#include "frame/nx_plugin_prop.h"
#include "frame/static_filter_preset.h"
#include "platform/dshow/task_memory.h"
#include "platform/private_profile.h"
#include "recovery/impulse_wave_writer.h"
#include "recovery/test_signal.h"
#include "tests/support/fake_dialog.h"
#include "toolkit/string_table.h"
#include "ui/pages/about_box.h"
#include "ui/pages/file_dialog.h"

namespace {

NxText W(const std::string& s) { return Wide(s); }
NxText S(UINT stringId) { return NxGetString(stringId); }
// The message boxes of one text, as FakeDialog::boxes holds them.
std::vector<NxText> OneBox(UINT stringId) { return {S(stringId)}; }
void ExpectTexts(FakeDialog& d, std::initializer_list<std::pair<UINT, const char*>> texts) {
  for (const auto& [id, text] : texts) EXPECT_EQ(W(text), d[id].text) << id;
}

IUnknown* Create(REFCLSID clsid, REFIID iid) {
  IClassFactory* factory = nullptr;
  void* object = nullptr;
  if (DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) == S_OK) {
    factory->CreateInstance(nullptr, iid, &object);
    factory->Release();
  }
  return static_cast<IUnknown*>(object);
}

class PagesTest : public ::testing::Test {
 protected:
  PagesTest() : dir_(temp_.path()) {
    setenv("AURALITH_MODULE_DIR", dir_.c_str(), 1);
    setenv("AURALITH_CONFIG_DIR", dir_.c_str(), 1);
    filter_ = Create(CLSID_NxPlugIn, IID_IUnknown);
    filter_->QueryInterface(IID_INxPlugInProp, reinterpret_cast<void**>(&prop_));
  }
  ~PagesTest() override {
    if (page_ != nullptr) page_->Release();
    prop_->Release();
    filter_->Release();
  }

  // Opens the page of `clsid` on the filter; the window is factory_.last.
  FakeDialog& Open(REFCLSID clsid) {
    page_ = static_cast<IPropertyPage*>(Create(clsid, IID_IPropertyPage));
    IUnknown* objects[] = {filter_};
    EXPECT_EQ(S_OK, page_->SetObjects(1, objects));
    const RECT rect = {0, 0, 400, 300};
    EXPECT_EQ(S_OK, page_->Activate(nullptr, &rect, FALSE));
    return *factory_.last;
  }

  // A tone of `seconds` at 44100 Hz as a 16-bit wave file.
  NxText Wave(const std::string& name, double seconds, DWORD channels = 2) {
    const DWORD frames = static_cast<DWORD>(seconds * 44100 + 0.5);
    std::vector<float> samples(frames);
    for (DWORD i = 0; i < frames; ++i) samples[i] = static_cast<float>(20000 * std::sin(i * 0.05));
    const NxText path = Path(name);
    EXPECT_EQ(0, WriteImpulseWave16(path.c_str(), samples.data(), samples.data(), frames, 44100,
                                    channels));
    return path;
  }
  NxText Path(const std::string& name) const { return W((dir_ / name).string()); }
  LONG Value(HRESULT (STDMETHODCALLTYPE INxPlugInProp::*get)(LONG*)) {
    LONG v = 0;
    (prop_->*get)(&v);
    return v;
  }
  NxText Name(HRESULT (STDMETHODCALLTYPE INxPlugInProp::*get)(WCHAR*, LONG)) {
    WCHAR name[260];
    (prop_->*get)(name, 260);
    return name;
  }
  NxText ImpulseFile() { return Name(&INxPlugInProp::GetImpulseFile); }
  // Applies a preset as the host or another page would, not through the page under test.
  void ApplyPreset(LONG index) {
    IStaticFilterPreset* presets = nullptr;
    filter_->QueryInterface(IID_IStaticFilterPreset, reinterpret_cast<void**>(&presets));
    presets->ApplyPreset(index);
    presets->Release();
  }

  TempFolder temp_;
  const std::filesystem::path& dir_;
  FakeDialogFactory factory_;
  IUnknown* filter_ = nullptr;
  INxPlugInProp* prop_ = nullptr;
  IPropertyPage* page_ = nullptr;
};

using P = INxPlugInProp;

TEST_F(PagesTest, GeneralPageWritesWhatTheUserTypesAndScrolls) {
  FakeDialog& d = Open(CLSID_NxGeneralPage);
  // As opened on the default preset, without an impulse.
  ExpectTexts(d, {{IDC_WIDTH_EDIT, "50"}, {IDC_DELAY_EDIT, "0.0"}, {IDC_DRY_LABEL, "-Inf."},
                  {IDC_WET_LABEL, "0.0 dB"}, {IDC_DECAY_EDIT, "1.40"}});
  EXPECT_EQ(1200, d[IDC_DECAY].range.maximum);
  EXPECT_FALSE(d[IDC_LOW_GAIN].enabled);
  EXPECT_EQ(500u, d.timers[kNxStatusTimer]);

  const struct {
    UINT edit;
    const char* text;
    HRESULT (STDMETHODCALLTYPE P::*get)(LONG*);
    LONG stored;
    const char* shown;
  } typed[] = {
      {IDC_DECAY_EDIT, "0.29", &P::GetDecayLimit, 29, "0.29"},  // binary doubles gave 28
      {IDC_DECAY_EDIT, "11.995", &P::GetDecayLimit, 1199, "11.99"},
      {IDC_DELAY_EDIT, "-250.05", &P::GetResponseDelay, -2500, "-250.0"},
      {IDC_DELAY_EDIT, "-0.5", &P::GetResponseDelay, -5, "-0.5"},
      {IDC_WIDTH_EDIT, "abc", &P::GetResponseWidth, 0, "0"},
      {IDC_PAN_EDIT, "-300", &P::GetPan, -100, "-100"},
      {IDC_HIGH_FREQ_EDIT, "7000", &P::GetHighShelfFreq, 7000, "7000"},
  };
  for (const auto& t : typed) {
    d.Type(t.edit, W(t.text));
    EXPECT_EQ(t.stored, Value(t.get)) << t.text;
    EXPECT_EQ(W(t.shown), d[t.edit].text) << t.text;
  }
  EXPECT_EQ(1199, d[IDC_DECAY].range.position);  // the trackbar follows its field

  const struct {
    UINT control;
    UINT action;
    bool controlKey;
    HRESULT (STDMETHODCALLTYPE P::*get)(LONG*);
    LONG stored;
    UINT label;
    const char* shown;
  } scrolled[] = {
      {IDC_DRY, kNxScrollLineUp, false, &P::GetDryOut, -799, IDC_DRY_LABEL, "-79.9 dB"},
      {IDC_WET, kNxScrollPageDown, false, &P::GetWetOut, -30, IDC_WET_LABEL, "-3.0 dB"},
      {IDC_LOW_GAIN, kNxScrollPageDown, true, &P::GetLowShelfGain, 100, IDC_LOW_GAIN_LABEL,
       "10.0 dB"},
      {IDC_LOW_GAIN, kNxScrollTop, false, &P::GetLowShelfGain, -150, IDC_LOW_GAIN_LABEL, "-Inf."},
      {IDC_QUALITY, kNxScrollBottom, false, &P::GetQuality, 5, IDC_QUALITY_LABEL, "5"},
      {IDC_HIGH_FREQ, kNxScrollLineUp, false, &P::GetHighShelfFreq, 7001, IDC_HIGH_FREQ_EDIT,
       "7001"},
  };
  for (const auto& s : scrolled) {
    d.controlKey = s.controlKey;
    d.Scroll(s.control, s.action);
    EXPECT_EQ(s.stored, Value(s.get)) << s.control;
    EXPECT_EQ(W(s.shown), d[s.label].text) << s.control;
  }
  d.controlKey = false;
  // A spinner's scroll ends on what the user typed into its field meanwhile.
  d[IDC_HIGH_FREQ_EDIT].text = W("9000");
  d.Scroll(IDC_HIGH_FREQ, kNxScrollEnd);
  EXPECT_EQ(9000, Value(&P::GetHighShelfFreq));

  d.Drag(IDC_WIDTH, 80);
  EXPECT_EQ(80, Value(&P::GetResponseWidth));
  EXPECT_EQ(W("80"), d[IDC_WIDTH_EDIT].text);
  d.DoubleClick(IDC_WET);
  EXPECT_EQ(0, Value(&P::GetWetOut));  // this page's wet reset is 0 dB

  d.Click(IDC_HIGH_ON);
  EXPECT_EQ(1, Value(&P::GetHighShelfOn));
  for (UINT id : {IDC_HIGH_GAIN, IDC_HIGH_FREQ_EDIT, IDC_HIGH_GAIN_LABEL, IDC_HIGH_FREQ}) {
    EXPECT_TRUE(d[id].enabled) << id;
  }
  d.Click(IDC_HIGH_ON);
  EXPECT_FALSE(d[IDC_HIGH_FREQ].enabled);
  d.Click(IDC_MONO_TO_STEREO);
  EXPECT_EQ(1, Value(&P::GetMonoToStereo));
}

TEST_F(PagesTest, GeneralPageImpulseChoiceListAndDecayRange) {
  const NxText shortImpulse = Wave("short.wav", 2.0);
  const NxText wide = Wave("three.wav", 0.5, 3);
  prop_->SetDecayLimit(500);
  prop_->SetImpulseFile(shortImpulse.c_str());
  FakeDialog& d = Open(CLSID_NxGeneralPage);
  // The range and the field follow the 2 s impulse; the stored limit stays as the preset has it.
  EXPECT_EQ(200, d[IDC_DECAY].range.maximum);
  EXPECT_EQ(W("2.00"), d[IDC_DECAY_EDIT].text);
  EXPECT_EQ(500, Value(&P::GetDecayLimit));

  // A typed name is used also when the file is missing.
  d.Type(IDC_IMPULSE, Path("missing.wav"));
  EXPECT_EQ(Path("missing.wav"), ImpulseFile());
  EXPECT_EQ(1200, d[IDC_DECAY].range.maximum);
  d.Type(IDC_IMPULSE, shortImpulse);
  d.fileAnswers.push_back(Wave("other.wav", 1.0));
  d.Click(IDC_IMPULSE_BROWSE);
  ASSERT_EQ(1u, d.fileDialogs.size());
  EXPECT_EQ(S(IDS_OPEN_IMPULSE_FILE), d.fileDialogs[0].title);
  ASSERT_EQ(1u, d.fileDialogs[0].filters.size());
  EXPECT_EQ(W("*.irx;*.wav"), d.fileDialogs[0].filters[0].second);
  ASSERT_EQ(2u, d[IDC_IMPULSE].items.size());
  d.Choose(IDC_IMPULSE, 1);  // the older one: the newest comes first
  EXPECT_EQ(shortImpulse, ImpulseFile());
  EXPECT_EQ(200, d[IDC_DECAY].range.maximum);

  // More than two channels: refused once for this choice, also when a notification refreshes
  // the page while the message is up.
  d.onBox = [&] {
    PostMessageW(d.Window(), WM_COMMAND, MAKEWPARAM(kNxCommandNotify, 100), 0);
    d.Pump();
  };
  d.Type(IDC_IMPULSE, wide);
  EXPECT_EQ(OneBox(IDS_NOT_A_TEST_FILE), d.boxes);
  EXPECT_EQ(W(""), ImpulseFile());
}

TEST_F(PagesTest, FrameworkMenuStatusNotificationsAndHelp) {
  FakeDialog& d = Open(CLSID_NxGeneralPage);
  // Every preset is listed, the first one too, each applying its own index.
  d.PageMenu(S(IDS_PRESET_MONO_TO_STEREO));
  ASSERT_EQ(1u, d.menus.size());
  const std::vector<NxMenuItem>& presets = d.menus[0][0].submenu;
  ASSERT_EQ(4u, presets.size());
  EXPECT_EQ(S(IDS_PRESET_DEFAULT), presets[0].text);
  EXPECT_EQ(kNxCommandFirstPreset, presets[0].command);
  EXPECT_EQ(1, Value(&P::GetMonoToStereo));
  // The filter's notification comes through the window queue and refreshes the page.
  EXPECT_FALSE(d[IDC_MONO_TO_STEREO].checked);
  EXPECT_EQ(1, d.Pump());
  EXPECT_TRUE(d[IDC_MONO_TO_STEREO].checked);
  d.PageMenu(S(IDS_PRESET_DEFAULT));
  EXPECT_EQ(0, Value(&P::GetMonoToStereo));
  d.PageMenu(S(IDS_MENU_ABOUT));
  EXPECT_EQ(1, d.abouts);
  FakeDialog about(kNxDialogAbout, nullptr);
  NxInitAboutBox(about, false);
  ExpectTexts(about, {{0, "About Auralith"}, {IDC_ABOUT_TITLE_LINE, "Auralith Plug-In"}});
  EXPECT_FALSE(about[IDC_ABOUT_LINK].shown);
  INT_PTR result = -1;
  EXPECT_TRUE(NxAboutBoxCommand(2, &result) && result == FALSE);
  d.Pump();

  // Status line and wait cursor: the arrow comes back after several busy codes in a row.
  const struct {
    LONG status;
    UINT text;  // 0: none
    HCURSOR cursor;
  } polls[] = {{2, IDS_STATUS_LOADING, FakeDialog::kWait},
               {3, IDS_STATUS_PREPARING, FakeDialog::kWait},
               {4, IDS_STATUS_PROCESSING, FakeDialog::kArrow},
               {1, IDS_STATUS_INITIALIZING, FakeDialog::kWait},
               {9, 0, FakeDialog::kArrow}};
  for (const auto& p : polls) {
    prop_->SetStatus(p.status);
    d.Tick();
    EXPECT_EQ(S(p.text), d[IDC_STATUS].text);
    EXPECT_EQ(p.cursor, d.cursor) << p.status;
  }

  EXPECT_EQ(W("Auralith"), d[IDC_HEADER].header.title);
  ASSERT_EQ(1u, d[IDC_HEADER].header.items.size());
  d.Click(d[IDC_HEADER].header.items[0].command);
  EXPECT_EQ((std::vector<std::pair<DWORD, bool>>{{1, false}}), d.helps);

  // COM side.
  PROPPAGEINFO info;
  ASSERT_EQ(S_OK, page_->GetPageInfo(&info));
  EXPECT_EQ(W("General"), NxText(info.pszTitle));
  EXPECT_EQ(1u, info.dwHelpContext);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);
  const RECT rect = {0, 0, 1, 1};
  EXPECT_EQ(E_UNEXPECTED, page_->Activate(nullptr, &rect, FALSE));
  const HWND window = d.Window();
  EXPECT_EQ(S_OK, page_->Deactivate());
  EXPECT_TRUE(d.destroyed);
  EXPECT_TRUE(d.timers.empty());
  // Unregistered: a replaced record posts nothing to the old window.
  ApplyPreset(1);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, window, 0, 0, PM_NOREMOVE));
  IUnknown* notFilter = Create(CLSID_NxSummaryPage, IID_IUnknown);
  EXPECT_EQ(E_NOINTERFACE, page_->SetObjects(1, &notFilter));
  notFilter->Release();
}

TEST_F(PagesTest, EnvelopePageEditsPointsMarkerAndPackages) {
  prop_->SetDecayLimit(9);
  FakeDialog& d = Open(CLSID_NxEnvelopePage);
  NxEnvelopeEditor& editor = d[IDC_ENVELOPE].editor;
  // No impulse: a 5.00 s axis, and 0.09 s sits at 18 and reads back as 0.09 s.
  EXPECT_EQ(W("5.00"), d[IDC_LENGTH].text);
  EXPECT_EQ(18, editor.Marker());
  EXPECT_FALSE(editor.Enabled());
  d.Click(IDC_APPLY_ENVELOPE);
  EXPECT_EQ(1, Value(&P::GetApplyEnvelope));
  EXPECT_TRUE(editor.Enabled());
  editor.MoveMarker(18);
  EXPECT_EQ(9, Value(&P::GetDecayLimit));
  editor.MoveMarker(280);
  EXPECT_EQ(140, Value(&P::GetDecayLimit));

  // Points: added, moved within their neighbours, deleted, reset; always 2..16 written.
  EnvelopePoint points[16];
  editor.AddPoint(500, 50);
  ASSERT_EQ(3, Value(&P::GetEnvelopeCount));
  prop_->GetEnvelopePoints(points, 16);
  EXPECT_EQ(500, points[1].position);
  editor.MovePoint(1, 1200, 30);
  prop_->GetEnvelopePoints(points, 16);
  EXPECT_EQ(999, points[1].position);
  EXPECT_EQ(30, points[1].level);
  for (LONG t = 100; t < 1000; t += 50) editor.AddPoint(t, 10);
  EXPECT_EQ(16, Value(&P::GetEnvelopeCount));
  d.Click(IDC_RESET);
  ASSERT_EQ(2, Value(&P::GetEnvelopeCount));
  prop_->GetEnvelopePoints(points, 16);
  EXPECT_EQ(0, points[1].level);
  EXPECT_FALSE(editor.DeletePoint(1));

  editor.Hover(500, 40);
  EXPECT_EQ(W("40 % at 2.50 Seconds"), d[IDC_POSITION].text);
  d.DoubleClick(IDC_WET);
  EXPECT_EQ(-800, Value(&P::GetWetOut));  // silence, as on the Summary page

  // A 20 s impulse: the marker at the end writes the longest limit, 12 s.
  const NxText longImpulse = Wave("long.wav", 20.0, 1);
  d.Type(IDC_IMPULSE, longImpulse);
  EXPECT_EQ(W("20.00"), d[IDC_LENGTH].text);
  EXPECT_TRUE(editor.HasBackground());
  EXPECT_EQ(200u, editor.Background().width);
  editor.MoveMarker(1000);
  EXPECT_EQ(1200, Value(&P::GetDecayLimit));

  // Packaging copies the impulse to ~IRX.TMP once; a missing impulse shows the failure.
  d.Click(IDC_PACKAGE);
  EXPECT_EQ(1, Value(&P::GetPackageImpulse));
  EXPECT_EQ(Path("~IRX.TMP"), ImpulseFile());
  EXPECT_TRUE(std::filesystem::exists(dir_ / "~IRX.TMP"));
  EXPECT_EQ(S(IDS_IMPULSE_IN_PRESET), d[IDC_IMPULSE].text);
  EXPECT_EQ(W("20.00"), d[IDC_LENGTH].text);
  d.Click(IDC_PACKAGE);
  EXPECT_TRUE(d.boxes.empty());
  d.Type(IDC_IMPULSE, Path("missing.wav"));
  d.Click(IDC_PACKAGE);
  EXPECT_EQ(OneBox(IDS_PACKAGE_ERROR), d.boxes);
  EXPECT_EQ(FakeDialog::kArrow, d.cursor);

  // Points stored while the page was hidden are the editor's when it shows again.
  page_->Show(0);
  EXPECT_FALSE(d.visible);
  const EnvelopePoint stored[3] = {{0, 100}, {400, 60}, {1000, 0}};
  prop_->SetEnvelopePoints(stored, 3);
  page_->Show(1);
  EXPECT_TRUE(d.visible);
  ASSERT_EQ(3, editor.GetPoints(points, 16));
  EXPECT_TRUE(points[1].position == 400 && points[1].level == 60);
}

TEST_F(PagesTest, SummaryPageFollowsTheChosenImpulse) {
  const NxText described = W(AURALITH_CORPUS_DIR "/summary/summary_display.irx");
  const NxText plain = Wave("plain.wav", 1.5);
  FakeDialog& d = Open(CLSID_NxSummaryPage);
  EXPECT_TRUE(d[IDC_ATTRIBUTES].text.empty());
  EXPECT_FALSE(d[IDC_PICTURE].shown);
  d.Type(IDC_IMPULSE, described);
  EXPECT_EQ(W("made by the corpus tool"), d[IDC_COMMENTS].text);
  EXPECT_FALSE(d[IDC_ATTRIBUTES].text.empty());
  EXPECT_TRUE(d[IDC_PICTURE].shown && !d[IDC_PICTURE].picture.empty());
  EXPECT_FALSE(d[IDC_HEADER].shown);
  const NxFileInfoPanel panel = NxDescribeFileForPanel(described.c_str());  // the Open dialog's
  EXPECT_EQ(W("Small room"), panel.title);
  EXPECT_EQ(d[IDC_PICTURE].picture, panel.picture);
  // Choosing another impulse replaces the previous one's details.
  d.Type(IDC_IMPULSE, plain);
  EXPECT_EQ(W("44,100 Hz, 2 Channels, 1.50 Seconds"), d[IDC_ATTRIBUTES].text);
  EXPECT_TRUE(d[IDC_COMMENTS].text.empty());
  EXPECT_FALSE(d[IDC_PICTURE].shown);
  EXPECT_TRUE(d[IDC_HEADER].shown);
  // Another page changed the impulse while this one was hidden: shown again, it follows.
  prop_->SetImpulseFile(described.c_str());
  page_->Show(1);
  EXPECT_EQ(W("made by the corpus tool"), d[IDC_COMMENTS].text);
  EXPECT_EQ(described, d[IDC_IMPULSE].text);
  // A wave file's own summary: comments, author and copyright each in their field.
  d.Type(IDC_IMPULSE, W(AURALITH_CORPUS_DIR "/summary/info_before_data.wav"));
  ExpectTexts(d, {{IDC_COMMENTS, "odd"}, {IDC_AUTHOR, "Someone"}, {IDC_COPYRIGHT, ""}});
  d.Type(IDC_IMPULSE, W(AURALITH_CORPUS_DIR "/summary/info_after_data.wav"));
  ExpectTexts(d, {{IDC_AUTHOR, ""}, {IDC_COPYRIGHT, "(c) nobody"}});

  d.DoubleClick(IDC_WET);
  EXPECT_EQ(-800, Value(&P::GetWetOut));
  d.Scroll(IDC_QUALITY, kNxScrollLineDown);
  EXPECT_EQ(4, Value(&P::GetQuality));
  EXPECT_EQ(W("4"), d[IDC_QUALITY_LABEL].text);
}

TEST_F(PagesTest, RecoverPageSetsNamesAndRunsOneRecoveryAtATime) {
  FakeDialog& d = Open(CLSID_NxRecoverPage);
  EXPECT_TRUE(d[IDC_MODE_FILE_ENDS].checked);
  d.Click(IDC_RECOVER);
  EXPECT_EQ(OneBox(IDS_FILES_NOT_SPECIFIED), d.boxes);
  EXPECT_EQ(0, d.progress.opened);

  d.Click(IDC_MODE_NONE);
  EXPECT_EQ(1503, Value(&P::GetRecoveryMode));
  d.Click(IDC_REMOVE_LOW);
  EXPECT_EQ(0, Value(&P::GetRemoveLowFreq));

  // A cancelled browse still shows the parameters afresh.
  prop_->SetOutputFile(Path("out.wav").c_str());
  d.fileAnswers.push_back(std::nullopt);
  d.Click(IDC_OUTPUT_BROWSE);
  EXPECT_TRUE(d.fileDialogs.back().save);
  EXPECT_EQ(Path("out.wav"), d[IDC_OUTPUT_FILE].text);
  d.Type(IDC_OUTPUT_FILE, Path("typed.wav"));
  EXPECT_EQ(Path("typed.wav"), Name(&P::GetOutputFile));
  d.fileAnswers.push_back(Path("chosen.wav"));
  d.Click(IDC_RECORDED_BROWSE);
  EXPECT_EQ(Path("chosen.wav"), Name(&P::GetRecordedFile));

  // A real run, cancelled from its progress window; a second press meanwhile starts nothing.
  WritePrivateProfileStringW(NXW("Auralith"), NXW("SpikeSpacing"), NXW("2048"),
                             NXW("auralith.ini"));
  TestSignalOptions options = {1024, 2048, 40, 44100, 1, 16, -24.0};
  const NxText test = Path("test.wav");
  ASSERT_EQ(0, WriteTestSignalFile(test.c_str(), options));
  d.Type(IDC_TEST_FILE, test);
  EXPECT_EQ(1u, d[IDC_TEST_FILE].items.size());
  d.Type(IDC_RECORDED_FILE, test);
  int dispatched = 0;
  d.onDispatch = [&] {
    if (++dispatched == 1) d.Click(IDC_RECOVER);
    if (dispatched == 2) d.progress.events->OnProgressCancel();
    return false;
  };
  d.boxes.clear();
  d.Click(IDC_RECOVER);
  EXPECT_EQ(1, d.progress.opened);
  EXPECT_FALSE(d.progress.open);
  EXPECT_GE(dispatched, 2);
  EXPECT_TRUE(d.boxes.empty());  // a cancel ends the run silently

  // Without a cancel the run ends with its own message.
  d.onDispatch = nullptr;
  d.Click(IDC_RECOVER);
  EXPECT_EQ(OneBox(IDS_RECOVERY_DONE), d.boxes);
  EXPECT_EQ(W("100 %"), d.progress.barTexts.back());

  // A preset elsewhere refreshes names, check box and mode.
  ApplyPreset(0);
  d.Pump();
  EXPECT_TRUE(d[IDC_RECORDED_FILE].text.empty());
  EXPECT_TRUE(d[IDC_REMOVE_LOW].checked);
  EXPECT_TRUE(d[IDC_MODE_FILE_ENDS].checked);
}

}  // namespace
