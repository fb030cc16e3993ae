#include "gui/frame/gui_text.h"

#include <cstdint>

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when the byte
// there does not start one (overlong forms and surrogates are invalid).
size_t Utf8SequenceLength(const std::string& s, size_t i, wchar_t* out) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  size_t n;
  uint32_t cp;
  uint32_t min;
  if (lead < 0x80) {
    *out = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    n = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    n = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    n = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  *out = static_cast<wchar_t>(cp);
  return n;
}

}  // namespace

wxString GuiText(const std::string& bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    wchar_t c;
    const size_t n = Utf8SequenceLength(bytes, i, &c);
    if (n == 0) {
      wide.push_back(static_cast<unsigned char>(bytes[i]));
      ++i;
    } else {
      wide.push_back(c);
      i += n;
    }
  }
  return wxString(wide);
}

std::string ProgramText(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return std::string(utf8.data(), utf8.length());
}
