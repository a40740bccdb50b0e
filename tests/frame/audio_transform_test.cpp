#include "frame/audio_transform.h"

#include <algorithm>

#include "filter_test_util.h"
#include "platform/wide_string.h"

namespace {

class AudioTransformTest : public ::testing::Test {
 protected:
  AudioTransformTest() : transform(&owner) {
    const PlugInParams defaults = DefaultPlugInParams();
    transform.SetParams(&defaults);
    PlugInParams ignored;
    transform.TakeParamsSnapshot(&ignored);
    transform.ExchangeImpulseStale();
    transform.ClearDirty();
  }

  // paramsChanged as the streaming side sees it (reading clears it).
  bool TakeChanged() {
    PlugInParams ignored;
    return transform.TakeParamsSnapshot(&ignored) != 0;
  }

  PlugInParams Params() {
    PlugInParams p;
    EXPECT_EQ(transform.GetParams(&p), S_OK);
    return p;
  }

  Owner owner;
  CAudioTransform transform;
};

// The offsets are fixed by the record's static_asserts; these are the default values.
TEST_F(AudioTransformTest, DefaultRecordHasTheDocumentedValues) {
  const PlugInParams p = DefaultPlugInParams();
  const LONG fields[] = {p.dryOut, p.responseWidth, p.decayLimit, p.highShelfFreq, p.lowShelfFreq,
                         p.recoveryMode, p.removeLowFreq, p.quality, p.envelopeCount};
  EXPECT_EQ((std::vector<LONG>{-800, 50, 140, 5000, 50, 1505, 1, 3, 2}),
            std::vector<LONG>(std::begin(fields), std::end(fields)));
  EXPECT_TRUE(p.envelopePoints[0].position == 0 && p.envelopePoints[0].level == 100 &&
              p.envelopePoints[1].position == 1000 && p.envelopePoints[1].level == 0);
  PlugInParams zeros = p;  // everything else is zero
  for (LONG* field : {&zeros.dryOut, &zeros.responseWidth, &zeros.decayLimit, &zeros.highShelfFreq,
                      &zeros.lowShelfFreq, &zeros.recoveryMode, &zeros.removeLowFreq,
                      &zeros.quality, &zeros.envelopeCount, &zeros.envelopePoints[0].level,
                      &zeros.envelopePoints[1].position})
    *field = 0;
  EXPECT_TRUE(std::all_of(reinterpret_cast<const BYTE*>(&zeros),
                          reinterpret_cast<const BYTE*>(&zeros + 1), [](BYTE b) { return b == 0; }));
}

TEST_F(AudioTransformTest, SettersClampAndRaiseTheRightFlags) {
  for (const ParamField& f : kParamFields) {
    SCOPED_TRACE(f.name);
    LONG v = 0;
    (transform.*f.set)(f.minimum - 1000);
    (transform.*f.get)(&v);
    EXPECT_EQ(v, f.minimum);
    (transform.*f.set)(f.maximum + 1000);
    EXPECT_EQ((transform.*f.get)(&v), S_OK);
    EXPECT_EQ(v, f.maximum);
    EXPECT_TRUE(transform.IsDirty());
    EXPECT_TRUE(TakeChanged());
    EXPECT_EQ(transform.ExchangeImpulseStale() != 0, f.stale);
    EXPECT_EQ((transform.*f.get)(nullptr), E_POINTER);
  }
}

TEST_F(AudioTransformTest, StringSettersCompareCaseSensitivelyAndTruncate) {
  EXPECT_EQ(transform.SetImpulseFile(NXW("Hall.irx")), S_OK);
  EXPECT_TRUE(TakeChanged());
  EXPECT_NE(transform.ExchangeImpulseStale(), 0);
  transform.ClearDirty();

  transform.SetImpulseFile(NXW("Hall.irx"));
  EXPECT_FALSE(transform.IsDirty());
  EXPECT_FALSE(TakeChanged());

  // A prefix of the stored name, and the empty name, are changes too.
  WCHAR name[16];
  for (LPCWSTR text : {NXW("Hall"), NXW(""), NXW("HALL.IRX")}) {
    transform.ClearDirty();
    transform.SetImpulseFile(reinterpret_cast<const WCHAR*>(text));
    EXPECT_TRUE(transform.IsDirty());
    EXPECT_NE(transform.ExchangeImpulseStale(), 0);
    transform.GetImpulseFile(name, 16);
    EXPECT_EQ(WString(name), text);
  }

  // 300 units are stored as 259 plus the terminator.
  std::basic_string<WCHAR> longName(300, WCHAR('x'));
  transform.SetOutputFile(reinterpret_cast<const WCHAR*>(longName.c_str()));
  WCHAR buffer[kMaxPathUnits + 10];
  transform.GetOutputFile(buffer, kMaxPathUnits + 10);
  EXPECT_EQ(WString(buffer), std::basic_string<WCHAR>(259, WCHAR('x')));

  // The getter truncates to the caller's buffer and always terminates; size 0 copies nothing.
  WCHAR small[5] = {'#', '#', '#', '#', '#'};
  transform.GetImpulseFile(small, 0);
  EXPECT_EQ(small[0], '#');
  transform.GetImpulseFile(small, 5);
  EXPECT_EQ(WString(small), NXW("HALL"));
  EXPECT_EQ(transform.SetTestFile(nullptr), E_POINTER);
}

TEST_F(AudioTransformTest, SetParamsClampsSomeFieldsAndMarksEverything) {
  PlugInParams p = DefaultPlugInParams();
  p.envelopeCount = 40;
  p.pan = 500;
  p.quality = -3;
  p.lowShelfFreq = 1;  // the shelf fields are stored as given
  p.decayLimit = 5000;
  p.dryOut = -2000;
  for (WCHAR& c : p.impulseFile) c = 'a';  // no terminator, as a damaged preset might have
  transform.SetParams(&p);

  const PlugInParams stored = Params();
  EXPECT_EQ((std::vector<LONG>{16, 500, 1, 1, 1200, -800}),
            (std::vector<LONG>{stored.envelopeCount, stored.pan, stored.quality,
                               stored.lowShelfFreq, stored.decayLimit, stored.dryOut}));
  EXPECT_EQ(NxStrLenBoundedW(stored.impulseFile, kMaxPathUnits), size_t(kMaxPathUnits - 1));
  EXPECT_EQ(transform.SetParams(nullptr), E_POINTER);
}

TEST_F(AudioTransformTest, EnvelopePoints) {
  EnvelopePoint out[3];
  std::memset(out, 0x55, sizeof out);
  transform.GetEnvelopePoints(out, 3);  // capacity 3, two stored: two copied
  EXPECT_EQ((std::vector<LONG>{0, 100, 1000, 0x55555555}),
            (std::vector<LONG>{out[0].position, out[0].level, out[1].position, out[2].position}));

  EnvelopePoint many[20];
  for (int i = 0; i < 20; ++i) many[i] = {i * 50, 100 - i};
  transform.SetEnvelopePoints(many, 20);  // cut to 16
  EXPECT_EQ(Params().envelopeCount, 16);
  EXPECT_NE(transform.ExchangeImpulseStale(), 0);
  // Shrinking leaves the points past the count zero.
  transform.SetEnvelopePoints(many, 3);
  const PlugInParams p = Params();
  EXPECT_EQ((std::vector<LONG>{3, 100, 0, 0}),
            (std::vector<LONG>{p.envelopeCount, p.envelopePoints[2].position,
                               p.envelopePoints[3].position, p.envelopePoints[15].level}));

  // Fewer than two points, or a negative count, is refused and changes nothing.
  transform.ClearDirty();
  EXPECT_EQ(transform.SetEnvelopePoints(many, 1), E_INVALIDARG);
  EXPECT_EQ(transform.SetEnvelopePoints(many, -5), E_INVALIDARG);
  EXPECT_EQ(transform.SetEnvelopePoints(nullptr, 4), E_POINTER);
  EXPECT_FALSE(transform.IsDirty());
}

// Drains and returns the WM_COMMAND messages queued for one window.
std::vector<MSG> TakeCommands(HWND window) {
  std::vector<MSG> messages;
  MSG msg;
  while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) messages.push_back(msg);
  return messages;
}

TEST_F(AudioTransformTest, NotificationWindows) {
  HWND windows[7];
  for (HWND& w : windows) w = NxCreateWindow(nullptr);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(transform.RegisterNotifyWindow(windows[i], static_cast<WORD>(1000 + i)), S_OK);
  EXPECT_EQ(transform.RegisterNotifyWindow(windows[6], 2000), E_OUTOFMEMORY);
  EXPECT_EQ(transform.RegisterNotifyWindow(windows[6], 0), S_OK);  // not there: nothing to drop
  EXPECT_EQ(transform.RegisterNotifyWindow(nullptr, 5), E_INVALIDARG);

  // Registering a window again changes its identifier in place.
  transform.RegisterNotifyWindow(windows[2], 77);

  transform.NotifyWindows(kNotifyParamsReplaced);
  std::vector<MSG> got = TakeCommands(windows[2]);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].wParam == MAKEWPARAM(77, kNotifyParamsReplaced) && got[0].lParam == 0);
  for (int i : {0, 1, 3, 4, 5}) EXPECT_EQ(TakeCommands(windows[i]).size(), 1u) << i;
  EXPECT_EQ(TakeCommands(windows[6]).size(), 0u);

  // A destroyed window is dropped at the next notification, which frees its slot.
  DestroyWindow(windows[4]);
  transform.NotifyWindows(kNotifyOutputFormat);
  for (int i : {0, 1, 2, 3, 5}) {
    got = TakeCommands(windows[i]);
    ASSERT_EQ(got.size(), 1u) << i;
    EXPECT_EQ(HIWORD(got[0].wParam), kNotifyOutputFormat);
  }
  EXPECT_EQ(transform.RegisterNotifyWindow(windows[6], 2000), S_OK);

  // Unregistering frees a slot too.
  EXPECT_EQ(transform.RegisterNotifyWindow(windows[0], 0), S_OK);
  transform.NotifyWindows(kNotifyInputFormat);
  EXPECT_EQ(TakeCommands(windows[0]).size(), 0u);
  EXPECT_EQ(TakeCommands(windows[6]).size(), 1u);
  for (HWND w : windows) {
    TakeCommands(w);
    DestroyWindow(w);
  }
}

}  // namespace
