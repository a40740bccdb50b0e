#include "platform/registry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "platform/private_profile.h"
#include "platform/utf8.h"

typedef std::basic_string<WCHAR> WideString;

struct HKEY__ {
  int root;
  std::vector<WideString> path;
};

namespace {

constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
constexpr int kRootCount = 4;

struct Value {
  WideString name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  WideString name;
  std::vector<Value> values;
  std::vector<std::unique_ptr<Key>> subkeys;
};

struct Store {
  Key roots[kRootCount];
};

std::mutex g_registryLock;
std::set<const HKEY__*> g_openHandles;

WCHAR Fold(WCHAR c) { return c >= 'A' && c <= 'Z' ? static_cast<WCHAR>(c - 'A' + 'a') : c; }

bool SameName(const WideString& a, const WideString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

int RootIndex(HKEY key) {
  for (int i = 0; i < kRootCount; ++i) {
    if (key == NX_PREDEFINED_KEY(0x80000000u + static_cast<unsigned>(i))) return i;
  }
  return -1;
}

Key* FindChild(Key* key, const WideString& name) {
  for (auto& child : key->subkeys) {
    if (SameName(child->name, name)) return child.get();
  }
  return nullptr;
}

Value* FindValue(Key* key, const WideString& name) {
  for (Value& value : key->values) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

// Splits "a\b\c" into its components. False for a leading separator or an empty, over-long or
// control-character component; one trailing separator is allowed.
bool SplitPath(LPCWSTR text, std::vector<WideString>* parts) {
  if (text == nullptr || text[0] == 0) return true;
  if (text[0] == '\\') return false;
  WideString part;
  for (const WCHAR* c = text;; ++c) {
    if (*c == '\\' || *c == 0) {
      if (part.empty()) return *c == 0 && c[-1] == '\\';
      if (part.size() > kNxRegMaxKeyName) return false;
      parts->push_back(part);
      part.clear();
      if (*c == 0 || c[1] == 0) return true;
    } else {
      if (*c < 0x20) return false;
      part.push_back(*c);
    }
  }
}

// ---- The file ----------------------------------------------------------------------------

std::string Utf8(const WideString& text) {
  std::string out;
  NxUtf16ToUtf8(text.c_str(), &out);
  return out;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at text[*at] == '"'; leaves *at after the closing quote.
bool Unquote(const std::string& text, size_t* at, std::string* out) {
  if (*at >= text.size() || text[*at] != '"') return false;
  for (size_t i = *at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      *at = i + 1;
      return true;
    }
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (i + 1 >= text.size()) return false;
    const char next = text[++i];
    if (next == 'x') {
      if (i + 2 >= text.size()) return false;
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      out->push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      out->push_back(next);
    }
  }
  return false;
}

// A REG_SZ whose bytes are one terminated UTF-16 text is written as text.
bool IsPlainText(const Value& value, std::string* text) {
  const std::vector<BYTE>& d = value.data;
  if (value.type != REG_SZ || d.size() < 2 || d.size() % 2 != 0) return false;
  WideString wide(d.size() / 2, 0);
  std::memcpy(&wide[0], d.data(), d.size());
  if (wide.back() != 0) return false;
  wide.pop_back();
  if (wide.find(WCHAR(0)) != WideString::npos) return false;
  return NxUtf16ToUtf8(wide.c_str(), text);
}

std::string FormatValue(const Value& value) {
  std::string line = value.name.empty() ? "@=" : Quote(Utf8(value.name)) + "=";
  std::string text;
  if (IsPlainText(value, &text)) return line + Quote(text);
  char number[32];
  if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD v;
    std::memcpy(&v, value.data.data(), 4);
    std::snprintf(number, sizeof number, "dword:%08X", static_cast<unsigned>(v));
    return line + number;
  }
  std::snprintf(number, sizeof number, "hex(%X):", static_cast<unsigned>(value.type));
  line += number;
  for (size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(number, sizeof number, i == 0 ? "%02X" : ",%02X", value.data[i]);
    line += number;
  }
  return line;
}

void WriteKey(const Key& key, const std::string& path, bool isRoot, std::ostream& out) {
  if (!isRoot || !key.values.empty()) {
    out << '[' << path << "]\n";
    for (const Value& value : key.values) out << FormatValue(value) << '\n';
  }
  for (const auto& child : key.subkeys) {
    WriteKey(*child, path + "\\" + Utf8(child->name), false, out);
  }
}

bool ParseValue(const std::string& line, Value* value) {
  size_t at = 0;
  std::string name;
  if (line[0] == '@') {
    at = 1;
  } else if (!Unquote(line, &at, &name)) {
    return false;
  }
  if (at >= line.size() || line[at] != '=') return false;
  ++at;
  WideString wideName;
  if (!NxUtf8ToUtf16(name, &wideName) || wideName.size() > kNxRegMaxValueName) return false;
  value->name = wideName;
  const std::string rest = line.substr(at);
  if (!rest.empty() && rest[0] == '"') {
    std::string text;
    size_t end = 0;
    WideString wide;
    if (!Unquote(rest, &end, &text) || !NxUtf8ToUtf16(text, &wide)) return false;
    value->type = REG_SZ;
    value->data.resize((wide.size() + 1) * 2, 0);
    if (!wide.empty()) std::memcpy(value->data.data(), wide.data(), wide.size() * 2);
    return true;
  }
  unsigned number = 0;
  if (std::sscanf(rest.c_str(), "dword:%8x", &number) == 1 && rest.size() == 14) {
    value->type = REG_DWORD;
    const DWORD v = number;
    value->data.resize(4);
    std::memcpy(value->data.data(), &v, 4);
    return true;
  }
  const size_t colon = rest.find("):");
  if (rest.compare(0, 4, "hex(") != 0 || colon == std::string::npos || colon == 4 ||
      colon > 12) {
    return false;
  }
  DWORD type = 0;
  for (size_t i = 4; i < colon; ++i) {
    const int digit = HexDigit(rest[i]);
    if (digit < 0) return false;
    type = type * 16 + static_cast<DWORD>(digit);
  }
  value->type = type;
  for (size_t i = colon + 2; i < rest.size(); i += 3) {
    if (i + 1 >= rest.size()) return false;
    const int high = HexDigit(rest[i]);
    const int low = HexDigit(rest[i + 1]);
    if (high < 0 || low < 0 || (i + 2 < rest.size() && rest[i + 2] != ',')) return false;
    value->data.push_back(static_cast<BYTE>(high * 16 + low));
  }
  return true;
}

// The key a "[ROOT\a\b]" line names, created with its ancestors; null when malformed.
Key* ParseKeyLine(Store* store, const std::string& line) {
  if (line.size() < 2 || line.back() != ']') return nullptr;
  WideString path;
  if (!NxUtf8ToUtf16(line.substr(1, line.size() - 2), &path)) return nullptr;
  const size_t slash = path.find('\\');
  const std::string rootName = Utf8(path.substr(0, slash));
  Key* key = nullptr;
  for (int i = 0; i < kRootCount; ++i) {
    if (rootName == kRootNames[i]) key = &store->roots[i];
  }
  std::vector<WideString> parts;
  if (key == nullptr ||
      (slash != WideString::npos && !SplitPath(path.c_str() + slash + 1, &parts))) {
    return nullptr;
  }
  for (const WideString& part : parts) {
    Key* child = FindChild(key, part);
    if (child == nullptr) {
      key->subkeys.push_back(std::make_unique<Key>());
      child = key->subkeys.back().get();
      child->name = part;
    }
    key = child;
  }
  return key;
}

void Load(Store* store) {
  const std::string path = NxRegistryFilePath();
  if (path.empty()) return;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  Key* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = ParseKeyLine(store, line);
      continue;
    }
    Value value;
    if (current == nullptr || !ParseValue(line, &value)) continue;
    if (Value* existing = FindValue(current, value.name)) {
      *existing = value;
    } else {
      current->values.push_back(value);
    }
  }
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (::mkdir(path.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

LONG Save(const Store& store) {
  const std::string path = NxRegistryFilePath();
  if (path.empty() || !MakeFolders(path)) return ERROR_CANTWRITE;
  std::ostringstream text;
  text << "; Auralith registry store\n";
  for (int i = 0; i < kRootCount; ++i) WriteKey(store.roots[i], kRootNames[i], true, text);
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return ERROR_CANTWRITE;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

// ---- Handles and paths --------------------------------------------------------------------

// The root and path a handle names, with `subKey` appended.
LONG Resolve(HKEY key, LPCWSTR subKey, int* root, std::vector<WideString>* path) {
  const int rootIndex = RootIndex(key);
  if (rootIndex >= 0) {
    *root = rootIndex;
    path->clear();
  } else {
    if (key == nullptr || g_openHandles.count(key) == 0) return ERROR_INVALID_HANDLE;
    *root = key->root;
    *path = key->path;
  }
  return SplitPath(subKey, path) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

Key* Walk(Store* store, int root, const std::vector<WideString>& path, Key** parent) {
  Key* key = &store->roots[root];
  if (parent != nullptr) *parent = nullptr;
  for (const WideString& part : path) {
    if (parent != nullptr) *parent = key;
    key = FindChild(key, part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

// The key an open handle names, or the error for a dead handle or a deleted key.
LONG KeyOf(Store* store, HKEY handle, Key** key) {
  int root = 0;
  std::vector<WideString> path;
  const LONG status = Resolve(handle, nullptr, &root, &path);
  if (status != ERROR_SUCCESS) return status;
  *key = Walk(store, root, path, nullptr);
  return *key == nullptr ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG NewHandle(int root, const std::vector<WideString>& path, PHKEY result) {
  HKEY__* handle = new (std::nothrow) HKEY__{root, path};
  if (handle == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  g_openHandles.insert(handle);
  *result = handle;
  return ERROR_SUCCESS;
}

WideString NameOf(LPCWSTR valueName) {
  return valueName == nullptr ? WideString() : WideString(valueName);
}

void RemoveChild(Key* parent, const Key* child) {
  for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
    if (it->get() == child) {
      parent->subkeys.erase(it);
      return;
    }
  }
}

}  // namespace

std::string NxRegistryFilePath() {
  const std::string folder = NxSettingsFolder();
  return folder.empty() ? std::string() : folder + "/registry.reg";
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/,
                     DWORD /*options*/, REGSAM /*access*/,
                     const SECURITY_ATTRIBUTES* /*security*/, PHKEY result,
                     LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> hold(g_registryLock);
  int root = 0;
  std::vector<WideString> path;
  LONG status = Resolve(key, subKey, &root, &path);
  if (status != ERROR_SUCCESS) return status;
  Store store;
  Load(&store);
  Key* at = &store.roots[root];
  bool created = false;
  for (const WideString& part : path) {
    Key* child = FindChild(at, part);
    if (child == nullptr) {
      at->subkeys.push_back(std::make_unique<Key>());
      child = at->subkeys.back().get();
      child->name = part;
      created = true;
    }
    at = child;
  }
  if (created && (status = Save(store)) != ERROR_SUCCESS) return status;
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return NewHandle(root, path, result);
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*access*/,
                   PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> hold(g_registryLock);
  int root = 0;
  std::vector<WideString> path;
  const LONG status = Resolve(key, subKey, &root, &path);
  if (status != ERROR_SUCCESS) return status;
  Store store;
  Load(&store);
  if (Walk(&store, root, path, nullptr) == nullptr) return ERROR_FILE_NOT_FOUND;
  return NewHandle(root, path, result);
}

LONG RegCloseKey(HKEY key) {
  if (RootIndex(key) >= 0) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> hold(g_registryLock);
  if (key == nullptr || g_openHandles.erase(key) == 0) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type,
                    const BYTE* data, DWORD size) {
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  const WideString name = NameOf(valueName);
  if (name.size() > kNxRegMaxValueName) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> hold(g_registryLock);
  Store store;
  Load(&store);
  Key* at = nullptr;
  const LONG status = KeyOf(&store, key, &at);
  if (status != ERROR_SUCCESS) return status;
  Value* value = FindValue(at, name);
  if (value == nullptr) {
    at->values.push_back(Value());
    value = &at->values.back();
    value->name = name;
  }
  value->type = type;
  value->data.assign(data, data + size);
  return Save(store);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type,
                      LPBYTE data, LPDWORD size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> hold(g_registryLock);
  Store store;
  Load(&store);
  Key* at = nullptr;
  const LONG status = KeyOf(&store, key, &at);
  if (status != ERROR_SUCCESS) return status;
  const Value* value = FindValue(at, NameOf(valueName));
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = value->type;
  const DWORD needed = static_cast<DWORD>(value->data.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && needed != 0) std::memcpy(data, value->data.data(), needed);
  if (size != nullptr) *size = needed;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  std::lock_guard<std::mutex> hold(g_registryLock);
  Store store;
  Load(&store);
  Key* at = nullptr;
  const LONG status = KeyOf(&store, key, &at);
  if (status != ERROR_SUCCESS) return status;
  const WideString name = NameOf(valueName);
  for (auto it = at->values.begin(); it != at->values.end(); ++it) {
    if (SameName(it->name, name)) {
      at->values.erase(it);
      return Save(store);
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> hold(g_registryLock);
  int root = 0;
  std::vector<WideString> path;
  const LONG status = Resolve(key, subKey, &root, &path);
  if (status != ERROR_SUCCESS) return status;
  Store store;
  Load(&store);
  Key* parent = nullptr;
  Key* target = Walk(&store, root, path, &parent);
  if (target == nullptr) return ERROR_FILE_NOT_FOUND;
  if (parent == nullptr || !target->subkeys.empty()) return ERROR_ACCESS_DENIED;
  RemoveChild(parent, target);
  return Save(store);
}

LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
  std::lock_guard<std::mutex> hold(g_registryLock);
  int root = 0;
  std::vector<WideString> path;
  const LONG status = Resolve(key, subKey, &root, &path);
  if (status != ERROR_SUCCESS) return status;
  Store store;
  Load(&store);
  Key* parent = nullptr;
  Key* target = Walk(&store, root, path, &parent);
  if (target == nullptr) return subKey == nullptr ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
  if (subKey == nullptr || subKey[0] == 0 || parent == nullptr) {
    target->values.clear();
    target->subkeys.clear();
  } else {
    RemoveChild(parent, target);
  }
  return Save(store);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD /*reserved*/,
                   LPWSTR /*keyClass*/, LPDWORD /*classSize*/, PFILETIME /*lastWriteTime*/) {
  if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> hold(g_registryLock);
  Store store;
  Load(&store);
  Key* at = nullptr;
  const LONG status = KeyOf(&store, key, &at);
  if (status != ERROR_SUCCESS) return status;
  if (index >= at->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const WideString& child = at->subkeys[index]->name;
  if (child.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  child.copy(name, child.size());
  name[child.size()] = 0;
  *nameSize = static_cast<DWORD>(child.size());
  return ERROR_SUCCESS;
}
