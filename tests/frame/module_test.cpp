// The module: class objects and factories (conformance), unload counts, registration against
// the registry store, load and unload steps, about texts. The built library itself is loaded,
// registered and streamed through by scripts/test-graph.sh, in the system's own graph.
#include "module/module.h"

#include <thread>

#include "filter_test_util.h"
#include "platform/dshow/persist.h"
#include "platform/module_file.h"
#include "tests/support/registry_reader.h"
#include "toolkit/string_table.h"

namespace {

const CLSID kUnknownClass = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
const CLSID* const kClasses[] = {&CLSID_NxPlugIn, &CLSID_NxGeneralPage, &CLSID_NxEnvelopePage,
                                 &CLSID_NxRecoverPage, &CLSID_NxSummaryPage};
const WString kInstances = NXW("CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\");
const WString kFilterInstance = kInstances + NXW("{6D41C280-3F7B-11D0-B5E2-00AA004E7C19}");

WString ClassKey(REFCLSID clsid, LPCWSTR below = nullptr) {
  WCHAR text[39];
  StringFromGUID2(clsid, text, 39);
  WString path = WString(NXW("CLSID\\")) + text;
  return below != nullptr ? path + NXW("\\") + below : path;
}

bool KeyExists(const WString& path) { return RegKeyExists(HKEY_CLASSES_ROOT, path.c_str()); }
WString Text(const WString& path, LPCWSTR name) {
  return RegText(HKEY_CLASSES_ROOT, path.c_str(), name);
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("AURALITH_CONFIG_DIR", (folder_ / "config").c_str(), 1);
    setenv("AURALITH_MODULE_DIR", (folder_ / "module").c_str(), 1);
    std::filesystem::create_directories(folder_ / "module");
    ASSERT_EQ(0, CUnknown::ObjectsActive()) << "an earlier test left objects alive";
  }
  void TearDown() override {
    unsetenv("AURALITH_MODULE_DIR");
    EXPECT_EQ(0, CUnknown::ObjectsActive());
  }

  static IClassFactory* Factory(REFCLSID clsid) {
    IClassFactory* factory = nullptr;
    EXPECT_HR(S_OK, DllGetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    return factory;
  }
  WString ModulePath() {
    WCHAR path[1024];
    GetModuleFileNameW(nullptr, path, 1024);
    return path;
  }

  TempFolder folder_;
};

// ---- Class objects and factories ------------------------------------------------------------

TEST_F(ModuleTest, ClassObjectsServeOnlyIUnknownAndIClassFactory) {
  const struct {
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  } rows[] = {
      {&CLSID_NxPlugIn, &IID_IClassFactory, S_OK},
      {&CLSID_NxSummaryPage, &IID_IUnknown, S_OK},
      {&CLSID_NxPlugIn, &IID_IPersist, E_NOINTERFACE},
      {&kUnknownClass, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const auto& row : rows) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_HR(row.expected, DllGetClassObject(*row.clsid, *row.iid, &object));
    EXPECT_EQ(row.expected == S_OK, object != nullptr);
    if (object != nullptr) {
      EXPECT_EQ(0u, static_cast<IUnknown*>(object)->Release());  // one reference, the caller's
    }
  }
  EXPECT_HR(E_POINTER, DllGetClassObject(CLSID_NxPlugIn, IID_IClassFactory, nullptr));
}

TEST_F(ModuleTest, FactoriesCreateTheirObjectsAndRefuseOtherInterfaces) {
  for (const CLSID* clsid : kClasses) {
    const bool isFilter = *clsid == CLSID_NxPlugIn;
    IClassFactory* factory = Factory(*clsid);
    IUnknown* object = nullptr;
    ASSERT_HR(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
    void* filter = reinterpret_cast<void*>(1);
    EXPECT_HR(isFilter ? S_OK : E_NOINTERFACE, object->QueryInterface(IID_IBaseFilter, &filter));
    if (filter != nullptr) static_cast<IUnknown*>(filter)->Release();
    EXPECT_EQ(0u, object->Release());
    // A refused interface leaves no object behind.
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_HR(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &refused));
    EXPECT_EQ(nullptr, refused);
    EXPECT_EQ(1, CUnknown::ObjectsActive());  // the factory itself
    factory->Release();
  }
}

// Aggregated, the filter is made only for IUnknown, and its interfaces count on the outer object.
TEST_F(ModuleTest, AggregationIsOnlyForIUnknown) {
  IClassFactory* factory = Factory(CLSID_NxPlugIn);
  Owner outer;
  void* refused = reinterpret_cast<void*>(1);
  EXPECT_HR(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, &refused));
  EXPECT_EQ(nullptr, refused);
  IUnknown* inner = nullptr;
  ASSERT_HR(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  INxPlugInProp* prop = nullptr;
  ASSERT_HR(S_OK, inner->QueryInterface(IID_INxPlugInProp, reinterpret_cast<void**>(&prop)));
  EXPECT_EQ(2u, outer.refs);
  prop->Release();
  EXPECT_EQ(0u, inner->Release());
  EXPECT_EQ(1u, outer.refs);
  factory->Release();
}

TEST_F(ModuleTest, UnloadWaitsForObjectsAndLocks) {
  EXPECT_HR(S_OK, DllCanUnloadNow());
  IClassFactory* factory = Factory(CLSID_NxGeneralPage);
  EXPECT_HR(S_FALSE, DllCanUnloadNow());  // a live factory counts
  EXPECT_HR(S_OK, factory->LockServer(TRUE));
  IUnknown* page = nullptr;
  factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&page));
  factory->Release();
  EXPECT_HR(S_FALSE, DllCanUnloadNow());
  page->Release();
  EXPECT_HR(S_FALSE, DllCanUnloadNow());  // the lock alone
  factory = Factory(CLSID_NxGeneralPage);
  EXPECT_HR(S_OK, factory->LockServer(FALSE));
  EXPECT_HR(S_OK, factory->LockServer(FALSE));  // one unlock too many is ignored
  factory->Release();
  EXPECT_HR(S_OK, DllCanUnloadNow());

  // Locks and objects from many threads at once.
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      IClassFactory* own = nullptr;
      DllGetClassObject(CLSID_NxEnvelopePage, IID_IClassFactory, reinterpret_cast<void**>(&own));
      for (int i = 0; i < 500; ++i) {
        own->LockServer(TRUE);
        IUnknown* object = nullptr;
        own->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
        object->Release();
        own->LockServer(FALSE);
      }
      own->Release();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_HR(S_OK, DllCanUnloadNow());
  factory = Factory(CLSID_NxGeneralPage);
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_HR(S_FALSE, DllCanUnloadNow());  // the count never went below zero
  factory = Factory(CLSID_NxGeneralPage);
  factory->LockServer(FALSE);
  factory->Release();
}

// ---- Registration -------------------------------------------------------------------------

// An earlier filter entry is replaced whole; unregistration takes everything away again.
TEST_F(ModuleTest, RegistrationWritesEveryClassAndTheFiltersRecordAndUnregistrationRemovesIt) {
  const WString oldPin = kFilterInstance + NXW("\\OldPin");
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(RegMake(HKEY_CLASSES_ROOT, oldPin.c_str())));
  ASSERT_HR(S_OK, DllRegisterServer());
  EXPECT_FALSE(KeyExists(oldPin));
  for (int i = 0; i < g_cTemplates; ++i) {
    const CLSID& clsid = *g_Templates[i].m_ClsID;
    EXPECT_EQ(WString(g_Templates[i].m_Name), Text(ClassKey(clsid), nullptr));
    EXPECT_EQ(ModulePath(), Text(ClassKey(clsid, NXW("InprocServer32")), nullptr));
    EXPECT_EQ(WString(NXW("Both")), Text(ClassKey(clsid, NXW("InprocServer32")), NXW("ThreadingModel")));
  }
  EXPECT_EQ(WString(NXW("Quorvex Auralith")), Text(kFilterInstance, NXW("FriendlyName")));
  EXPECT_EQ(WString(NXW("{6D41C280-3F7B-11D0-B5E2-00AA004E7C19}")), Text(kFilterInstance, NXW("CLSID")));
  // The filter's record itself is laid out by the mapper (registry_test): two pins, each of
  // one type.
  std::vector<BYTE> data;
  DWORD type = 0;
  RegQuery(HKEY_CLASSES_ROOT, kFilterInstance.c_str(), NXW("FilterData"), &type, &data);
  EXPECT_EQ(16u + 2 * 40 + 2 * 16, data.size());
  // Pages carry no setup record: only the filter has an instance key.
  for (const CLSID* clsid : kClasses)
    EXPECT_EQ(*clsid == CLSID_NxPlugIn, KeyExists(kInstances + ClassKey(*clsid).substr(6)));

  // Unregistration removes it all, also under a filter entry with a subkey (which the mapper
  // refuses to delete) and an earlier module's class key with its server subkey; twice is fine.
  for (const WString& key : {kFilterInstance + NXW("\\Extra"),
                             ClassKey(CLSID_NxLegacyPlugIn, NXW("InprocServer32"))})
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(RegMake(HKEY_CLASSES_ROOT, key.c_str())));
  ASSERT_HR(S_OK, DllUnregisterServer());
  EXPECT_FALSE(KeyExists(kFilterInstance) || KeyExists(ClassKey(CLSID_NxLegacyPlugIn)));
  for (const CLSID* clsid : kClasses) EXPECT_FALSE(KeyExists(ClassKey(*clsid)));
  EXPECT_HR(S_OK, DllUnregisterServer());
}

TEST_F(ModuleTest, RegistrationStopsAtAStoreThatCannotBeWritten) {
  std::ofstream(folder_ / "blocker") << "a file where the settings folder should be";
  setenv("AURALITH_CONFIG_DIR", (folder_ / "blocker/config").c_str(), 1);
  EXPECT_HR(HRESULT_FROM_WIN32(ERROR_CANTWRITE), DllRegisterServer());
  EXPECT_HR(HRESULT_FROM_WIN32(ERROR_CANTWRITE), DllUnregisterServer());
}

// ---- Load and unload, about box -------------------------------------------------------------

TEST_F(ModuleTest, LoadRegistersWindowClassesAndOpensTheLanguageFile) {
  const WString module = ModulePath();
  WCHAR language[1024];
  ASSERT_TRUE(NxLanguageFilePath(module.c_str(), language, 1024));
  std::string path;
  for (const WCHAR* c = language; *c != 0; ++c) path.push_back(static_cast<char>(*c));
  std::ofstream(path) << "218=\xC3\x9C" "ber %s\n";

  const NxAboutTexts english = NxGetAboutTexts();  // heading and title: the pages' suite
  EXPECT_EQ(WString(NXW("Version 1.1 (Build 2200) 64-bit")), english.version);

  HINSTANCE instance = reinterpret_cast<HINSTANCE>(&path);
  ASSERT_TRUE(DllMain(instance, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_EQ(instance, NxModuleInstance());
  const char* names[] = {"Fader", "Trackbar", "Spinner", "Static", "Envelope", "Logo"};
  for (const char* name : names) {
    EXPECT_TRUE(NxIsClassRegistered(Wide(std::string("auralithBld0") + name + "Class").c_str())) << name;
  }
  EXPECT_EQ(WString(NXW("\u00DCber Auralith")), NxGetAboutTexts().title);

  ASSERT_TRUE(DllMain(instance, DLL_PROCESS_DETACH, nullptr));
  for (int i = 0; i < kNxWindowClassCount; ++i) EXPECT_FALSE(NxIsClassRegistered(kNxWindowClassNames[i]));
  EXPECT_EQ(english.title, NxGetAboutTexts().title);
  std::remove(path.c_str());
}

}  // namespace
