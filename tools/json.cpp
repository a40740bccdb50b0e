#include "tools/json.h"

#include <cmath>
#include <cstdio>

std::string JsonQuote(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void JsonWriter::Prefix(const char* key) {
  if (!hasItems_.empty()) {
    if (hasItems_.back()) text_ += ",";
    hasItems_.back() = true;
    text_ += "\n" + std::string(hasItems_.size() * 2, ' ');
  }
  if (key != nullptr) text_ += JsonQuote(key) + ": ";
}

void JsonWriter::BeginObject(const char* key) {
  Prefix(key);
  text_ += "{";
  hasItems_.push_back(false);
}

void JsonWriter::EndObject() {
  const bool items = hasItems_.back();
  hasItems_.pop_back();
  if (items) text_ += "\n" + std::string(hasItems_.size() * 2, ' ');
  text_ += "}";
}

void JsonWriter::BeginArray(const char* key) {
  Prefix(key);
  text_ += "[";
  hasItems_.push_back(false);
}

void JsonWriter::EndArray() {
  const bool items = hasItems_.back();
  hasItems_.pop_back();
  if (items) text_ += "\n" + std::string(hasItems_.size() * 2, ' ');
  text_ += "]";
}

void JsonWriter::String(const char* key, const std::string& value) {
  Prefix(key);
  text_ += JsonQuote(value);
}

void JsonWriter::Integer(const char* key, long long value) {
  Prefix(key);
  text_ += std::to_string(value);
}

void JsonWriter::Number(const char* key, double value) {
  Prefix(key);
  if (!std::isfinite(value)) {
    text_ += "null";
    return;
  }
  char number[40];
  std::snprintf(number, sizeof number, "%.17g", value);
  text_ += number;
}

void JsonWriter::Bool(const char* key, bool value) {
  Prefix(key);
  text_ += value ? "true" : "false";
}
