// A small JSON writer for the --json outputs: objects, arrays, strings (escaped, UTF-8 kept as
// is), integers, numbers and booleans, indented by two spaces.
#pragma once

#include <string>
#include <vector>

class JsonWriter {
 public:
  void BeginObject(const char* key = nullptr);
  void EndObject();
  void BeginArray(const char* key = nullptr);
  void EndArray();
  void String(const char* key, const std::string& value);
  void Integer(const char* key, long long value);
  void Number(const char* key, double value);
  void Bool(const char* key, bool value);
  // The document, ending with a newline.
  std::string Text() const { return text_ + "\n"; }

 private:
  // Writes the separator, indentation and key (inside an object) before a value.
  void Prefix(const char* key);

  std::string text_;
  std::vector<bool> hasItems_;  // per open container
};

std::string JsonQuote(const std::string& text);
