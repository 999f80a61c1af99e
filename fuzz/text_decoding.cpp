// Fuzzes the decoding of template and other text files: any bytes give valid
// UTF-8; text that is UTF-8 already comes back unchanged, with or without its
// byte order mark; a UTF-16 file written from the decoded text decodes to the
// same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/text.h"
#include "platform/files.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool validUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    char32_t cp = len == 1 ? c : c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string text = tw::decodeText(bytes);
  check(validUtf8(text));
  const bool marked = bytes.substr(0, 3) == "\xEF\xBB\xBF" || bytes.substr(0, 2) == "\xFF\xFE" ||
                      bytes.substr(0, 2) == "\xFE\xFF";
  if (!marked && validUtf8(bytes)) check(text == bytes);
  if (validUtf8(bytes)) check(tw::decodeText("\xEF\xBB\xBF" + std::string(bytes)) == bytes);
  // Decoded text survives being written as UTF-16 and as UTF-8 with a mark.
  check(tw::decodeText(tw::encodeText(text, tw::TextEncoding::Utf16LE)) == text);
  check(tw::decodeText(tw::encodeText(text, tw::TextEncoding::Utf8Bom)) == text);
  return 0;
}
