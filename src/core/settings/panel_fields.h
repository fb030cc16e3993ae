#ifndef QUILLO_CORE_SETTINGS_PANEL_FIELDS_H
#define QUILLO_CORE_SETTINGS_PANEL_FIELDS_H

#include <cstdint>
#include <string>

// How the Connect, Config and Invitation panels read what the user typed:
// blanks around a field never count, and numbers are taken as far as they
// go, without complaint.

// The text without white space (space, tab, line ends, vertical tab, form
// feed) at either end.
std::string TrimBlanks(const std::string& text);

// The number at the start of text the way atoi reads it: leading white
// space, an optional sign and the digits that follow; 0 when no digit
// follows. Values beyond 32 bits saturate instead of wrapping.
int32_t FieldNumber(const std::string& text);

// The text cut to at most max_bytes bytes without splitting a UTF-8
// character the toolkit would show as one.
std::string CutToBytes(const std::string& text, size_t max_bytes);

#endif  // QUILLO_CORE_SETTINGS_PANEL_FIELDS_H
