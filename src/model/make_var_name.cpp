#include "model/make_var_name.h"

#include "automation/text.h"

namespace tw {

namespace {

bool isAsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void appendHex(std::string& out, uint32_t code) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buf[8];
  int n = 0;
  do {
    buf[n++] = kDigits[code & 0xF];
    code >>= 4;
  } while (code != 0);
  while (n > 0) out += buf[--n];
}

}  // namespace

std::string MakeVarName(std::string_view name, std::string_view prefix) {
  std::string body;
  body.reserve(name.size() + 8);
  for (size_t pos = 0; pos < name.size();) {
    char32_t c = decodeUtf8(name, pos);
    if (isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_') {
      body += static_cast<char>(c);
    } else if (c == ' ') {
      body += '_';
    } else if (c >= 0x10000) {
      // Characters outside the basic plane are two UTF-16 code units.
      uint32_t v = static_cast<uint32_t>(c) - 0x10000;
      appendHex(body, 0xD800 + (v >> 10));
      appendHex(body, 0xDC00 + (v & 0x3FF));
    } else {
      appendHex(body, static_cast<uint32_t>(c));
    }
  }
  std::string out(prefix);
  if (body.empty() || !isAsciiLetter(static_cast<unsigned char>(body[0]))) out += 'x';
  out += body;
  return out;
}

}  // namespace tw
