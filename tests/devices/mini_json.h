#pragma once

// A small, strict JSON reader for tests that check the documents our tools write: it accepts
// exactly RFC 8259 JSON (one value, nothing after it) and keeps strings as UTF-8.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fd::testing {

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  bool Has(const std::string& key) const { return members.count(key) != 0; }
  const JsonValue& operator[](const std::string& key) const { return members.at(key); }
};

class JsonReader {
 public:
  // True when the whole text is one valid JSON value; error tells where it went wrong.
  static bool Parse(const std::string& text, JsonValue& out, std::string& error) {
    JsonReader r(text);
    if (!r.Value(out, 0)) {
      error = r.error_ + " at offset " + std::to_string(r.pos_);
      return false;
    }
    r.Space();
    if (r.pos_ != text.size()) {
      error = "text after the value at offset " + std::to_string(r.pos_);
      return false;
    }
    return true;
  }

 private:
  explicit JsonReader(const std::string& text) : s_(text) {}

  bool Fail(const char* why) {
    error_ = why;
    return false;
  }
  void Space() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) ++pos_;
  }
  bool Literal(const char* word) {
    const std::string w = word;
    if (s_.compare(pos_, w.size(), w) != 0) return Fail("bad literal");
    pos_ += w.size();
    return true;
  }
  bool Value(JsonValue& v, int depth) {
    if (depth > 64) return Fail("too deep");
    Space();
    if (pos_ >= s_.size()) return Fail("unexpected end");
    const char c = s_[pos_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    if (c == '"') {
      v.type = JsonValue::Type::String;
      return String(v.text);
    }
    if (c == 't' || c == 'f') {
      v.type = JsonValue::Type::Bool;
      v.boolean = c == 't';
      return Literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') {
      v.type = JsonValue::Type::Null;
      return Literal("null");
    }
    return Number(v);
  }
  bool Number(JsonValue& v) {
    const size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (pos_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[pos_]))) return Fail("bad number");
    if (s_[pos_] == '0') {
      ++pos_;
    } else {
      while (pos_ < s_.size() && isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (pos_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[pos_]))) return Fail("bad fraction");
      while (pos_ < s_.size() && isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (pos_ >= s_.size() || !isdigit(static_cast<unsigned char>(s_[pos_]))) return Fail("bad exponent");
      while (pos_ < s_.size() && isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    v.type = JsonValue::Type::Number;
    v.number = std::stod(s_.substr(start, pos_ - start));
    return true;
  }
  static void PutUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool Hex4(uint32_t& cp) {
    if (pos_ + 4 > s_.size()) return Fail("short \\u escape");
    cp = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = s_[pos_++];
      cp <<= 4;
      if (h >= '0' && h <= '9')
        cp |= static_cast<uint32_t>(h - '0');
      else if (h >= 'a' && h <= 'f')
        cp |= static_cast<uint32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        cp |= static_cast<uint32_t>(h - 'A' + 10);
      else
        return Fail("bad \\u escape");
    }
    return true;
  }
  bool String(std::string& out) {
    ++pos_;  // opening quote
    while (pos_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return Fail("raw control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        ++pos_;
        continue;
      }
      if (++pos_ >= s_.size()) return Fail("unfinished escape");
      const char e = s_[pos_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t low = 0;
            if (s_.compare(pos_, 2, "\\u") != 0) return Fail("lone surrogate");
            pos_ += 2;
            if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) return Fail("bad surrogate pair");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return Fail("lone surrogate");
          }
          PutUtf8(out, cp);
          break;
        }
        default:
          return Fail("unknown escape");
      }
    }
    return Fail("unterminated string");
  }
  bool Array(JsonValue& v, int depth) {
    v.type = JsonValue::Type::Array;
    ++pos_;
    Space();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      v.items.push_back(std::move(item));
      Space();
      if (pos_ >= s_.size()) return Fail("unterminated array");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == ']') {
        ++pos_;
        return true;
      }
      return Fail("expected , or ]");
    }
  }
  bool Object(JsonValue& v, int depth) {
    v.type = JsonValue::Type::Object;
    ++pos_;
    Space();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      Space();
      if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("expected a key");
      std::string key;
      if (!String(key)) return false;
      Space();
      if (pos_ >= s_.size() || s_[pos_] != ':') return Fail("expected :");
      ++pos_;
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      if (v.members.count(key)) return Fail("duplicate key");
      v.members.emplace(std::move(key), std::move(member));
      Space();
      if (pos_ >= s_.size()) return Fail("unterminated object");
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == '}') {
        ++pos_;
        return true;
      }
      return Fail("expected , or }");
    }
  }

  const std::string& s_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace fd::testing
