#include "language/text.h"

#include <cstdio>

namespace tarnvell {

std::string Fill(const char* text, std::initializer_list<std::string> values) {
  std::string out;
  auto value = values.begin();
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's' && value != values.end()) {
      out += *value++;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

namespace {

// The length of the valid UTF-8 sequence at the start of s (0 if none): no
// overlong forms, no surrogates, nothing past U+10FFFF, nothing cut short.
size_t Utf8Length(const unsigned char* s, size_t left) {
  const unsigned char c = s[0];
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (n == 0 || n > left || c > 0xF4) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((s[i] & 0xC0) != 0x80) return 0;
  // The second byte's narrower range after these lead bytes.
  const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
  return s[1] >= low && s[1] <= high ? n : 0;
}

}  // namespace

std::string Printable(const std::string& name) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(name.data());
  std::string out;
  for (size_t i = 0; i < name.size();) {
    size_t n = Utf8Length(s + i, name.size() - i);
    const bool c1 = n == 2 && s[i] == 0xC2 && s[i + 1] < 0xA0;
    if (n == 0) n = 1;
    const bool control = s[i] < 0x20 || s[i] == 0x7F || c1 ||
                         (n == 1 && s[i] >= 0x80 && s[i] < 0xA0);
    for (size_t k = 0; k < n; ++k) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", s[i + k]);
      out += control ? std::string(escaped) : std::string(1, name[i + k]);
    }
    i += n;
  }
  return out;
}

std::string JsonString(const std::string& name) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(name.data());
  std::string out = "\"";
  for (size_t i = 0; i < name.size();) {
    const size_t n = Utf8Length(s + i, name.size() - i);
    char escaped[8];
    if (n == 0 && s[i] >= 0x80) {
      std::snprintf(escaped, sizeof escaped, "\\\\x%02X", s[i]);
    } else if (s[i] == '"' || s[i] == '\\') {
      std::snprintf(escaped, sizeof escaped, "\\%c", s[i]);
    } else if (s[i] < 0x20 || s[i] == 0x7F || (n == 2 && s[i] == 0xC2 && s[i + 1] < 0xA0)) {
      const unsigned code = n == 2 ? s[i + 1] : s[i];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    } else {
      out.append(name, i, n == 0 ? 1 : n);
      i += n == 0 ? 1 : n;
      continue;
    }
    out += escaped;
    i += n == 0 ? 1 : n;
  }
  return out + "\"";
}

}  // namespace tarnvell
