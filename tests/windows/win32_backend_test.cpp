// The Win32 back end against the system itself: names as the file system stores them, the
// settings file where the private-profile calls put it, and the DLL's own registration.
// Expectations come from the system's calls, not from the back end.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include <string>

#include "platform/file.h"
#include "platform/private_profile.h"
#include "platform/registry.h"

namespace {

typedef std::wstring WString;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TestFolder {
 public:
  TestFolder() {
    WCHAR base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = WString(base) + L"auralith-win-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TestFolder() {
    WString from = path_.substr(0, path_.size() - 1);
    from.push_back(0);  // double-terminated list of one
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
  }
  const WString& Path() const { return path_; }

 private:
  WString path_;
};

WString ReadText(const WString& path) {
  NxFileHandle file = NxOpenFile(path.c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting);
  if (file == nullptr) return L"<missing>";
  unsigned char bytes[64] = {};
  DWORD done = 0;
  file->Read(bytes, sizeof bytes, &done);
  NxCloseFile(file);
  return WString(bytes, bytes + done);
}

bool WriteText(const WString& path, const char* text) {
  NxFileHandle file = NxOpenFile(path.c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways);
  DWORD done = 0;
  const bool ok = file != nullptr && file->Write(text, DWORD(strlen(text)), &done);
  NxCloseFile(file);
  return ok;
}

TEST(Win32Files, NonAsciiNamesReachTheFileSystemAsTheyAre) {
  TestFolder folder;
  // Latin-1, outside every ANSI code page, and outside the basic plane (a surrogate pair).
  const WString names[] = {L"caf\u00E9.wav", L"\u2603 \u65E5\u672C.irx", L"\U0001F3B5.bin"};
  for (const WString& name : names) {
    const WString path = folder.Path() + name;
    ASSERT_TRUE(WriteText(path, "one")) << name.size();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(WString(found.cFileName), name);
    // Replacing by rename: the old name is gone, the destination holds the new contents.
    const WString incoming = path + L".part";
    ASSERT_TRUE(WriteText(incoming, "two"));
    ASSERT_TRUE(NxMoveFileReplacing(incoming.c_str(), path.c_str()));
    EXPECT_EQ(ReadText(path), L"two");
    EXPECT_EQ(GetFileAttributesW(incoming.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(NxCopyFile(path.c_str(), (path + L".copy").c_str(), true));
    EXPECT_EQ(ReadText(path + L".copy"), L"two");
    EXPECT_TRUE(NxDeleteFile(path.c_str()));
    EXPECT_FALSE(NxFileExists(path.c_str()));
  }
  EXPECT_FALSE(NxMoveFileReplacing((folder.Path() + L"absent").c_str(), (folder.Path() + L"x").c_str()));
}

TEST(Win32Settings, BareNameLandsInTheSettingsFolderAsUnicode) {
  TestFolder folder;
  const WString config = folder.Path() + L"config";
  _wputenv_s(L"AURALITH_CONFIG_DIR", config.c_str());
  const WString value = L"C:\\M\u00FCsik\\\u2603";
  ASSERT_TRUE(WritePrivateProfileStringW(L"Auralith", L"ImpulseLastDir", value.c_str(),
                                         L"auralith.ini"));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Auralith", L"OutBits", L"32", L"auralith.ini"));
  // The system's own calls on the full path read what the wrapper wrote.
  const WString ini = config + L"\\auralith.ini";
  WCHAR text[64] = {};
  ::GetPrivateProfileStringW(L"Auralith", L"ImpulseLastDir", L"", text, 64, ini.c_str());
  EXPECT_EQ(WString(text), value);
  EXPECT_EQ(::GetPrivateProfileIntW(L"Auralith", L"OutBits", 0, ini.c_str()), 32u);
  EXPECT_EQ(ReadText(ini).substr(0, 1), WString(1, wchar_t(0xFF)));  // UTF-16 byte-order mark

  // A file an older installation left in the Windows folder is taken over once.
  WCHAR windows[MAX_PATH];
  const WString old = WString(windows, GetWindowsDirectoryW(windows, MAX_PATH)) + L"\\nx-old.ini";
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Auralith", L"SpikeLength", L"77", old.c_str()));
  EXPECT_EQ(GetPrivateProfileIntW(L"Auralith", L"SpikeLength", 40, L"nx-old.ini"), 77u);
  EXPECT_NE(GetFileAttributesW((config + L"\\nx-old.ini").c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(old.c_str());
  _wputenv_s(L"AURALITH_CONFIG_DIR", L"");
}

// The DLL registers the path it was loaded from, found from its own module handle, not the
// host's executable.
TEST(Win32Module, RegistrationNamesTheDllItself) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const std::string narrow = AURALITH_PLUGIN_PATH;
  const WString path(narrow.begin(), narrow.end());
  HMODULE dll = LoadLibraryW(path.c_str());
  ASSERT_NE(dll, nullptr);
  EXPECT_EQ(GetProcAddress(dll, "DllMain"), nullptr);  // the entry point, not an export
  typedef HRESULT(STDAPICALLTYPE * Entry)();
  const Entry reg =
      reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllRegisterServer")));
  const Entry unreg = reinterpret_cast<Entry>(
      reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllUnregisterServer")));
  ASSERT_TRUE(reg != nullptr && unreg != nullptr);
  ASSERT_EQ(reg(), S_OK);
  const WCHAR kServer[] = L"CLSID\\{6D41C280-3F7B-11D0-B5E2-00AA004E7C19}\\InprocServer32";
  WCHAR registered[MAX_PATH] = {};
  DWORD size = sizeof registered;
  EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, kServer, nullptr, RRF_RT_REG_SZ, nullptr, registered,
                         &size),
            ERROR_SUCCESS);
  WCHAR loaded[MAX_PATH] = {};
  GetModuleFileNameW(dll, loaded, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(registered, loaded), 0);
  EXPECT_EQ(unreg(), S_OK);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, kServer, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  FreeLibrary(dll);
  CoUninitialize();
}

}  // namespace
