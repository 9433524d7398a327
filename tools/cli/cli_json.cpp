#include "cli_json.h"

#include <cmath>
#include <cstdint>

namespace fd::cli {

namespace {

std::string Dump(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace

std::string OneLine(const Json& value) {
  std::string out;
  if (value.is_object()) {
    out = "{";
    bool first = true;
    for (const auto& [key, member] : value.items()) {
      out += first ? "" : ", ";
      first = false;
      out += Dump(Json(key)) + ": " + OneLine(member);
    }
    return out + "}";
  }
  if (value.is_array()) {
    out = "[";
    for (size_t i = 0; i < value.size(); ++i) out += (i ? ", " : "") + OneLine(value[i]);
    return out + "]";
  }
  return Dump(value);
}

std::string JsonString(const std::string& text) { return Dump(Json(text)); }

Json JsonCharValue(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u < 0x80) return Json(std::string(1, c));
  // Latin-1 code point in UTF-8.
  const char utf8[] = {static_cast<char>(0xC0 | (u >> 6)), static_cast<char>(0x80 | (u & 0x3F)), 0};
  return Json(std::string(utf8));
}

std::string JsonChar(char c) { return Dump(JsonCharValue(c)); }

Json JsonNumberValue(double value) {
  if (!std::isfinite(value)) return Json(nullptr);
  // Whole numbers as the reports always wrote them: 24, not 24.0.
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) return Json(static_cast<int64_t>(value));
  return Json(value);
}

std::string JsonNumber(double value) { return Dump(JsonNumberValue(value)); }

}  // namespace fd::cli
