#include "core/settings/settings_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/util/replace_file.h"

namespace {

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* contents) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  contents->clear();
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) contents->append(chunk, got);
  bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

// Splits at LF bytes. Each line keeps everything before its LF (a CR
// included); the text after the last LF is a line only when it is not empty.
// A line is never split by length, however long it is.
std::vector<std::string> SplitLines(const std::string& contents) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    lines.push_back(contents.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The usable content of a line ends at its first CR, LF or NUL.
ByteString Content(const std::string& line) {
  size_t end = 0;
  while (end < line.size() && line[end] != '\r' && line[end] != '\n' && line[end] != '\0') ++end;
  return ByteString(line.data(), end);
}

bool EqualsItem(const ByteString& item, const std::string& text) {
  return item.Length() == text.size() && std::memcmp(item.CStr(), text.data(), text.size()) == 0;
}

}  // namespace

SettingsFile::SettingsFile() = default;

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

bool SettingsFile::Load() {
  std::string contents;
  if (!ReadWholeFile(path_, &contents)) return false;
  for (const std::string& line : SplitLines(contents)) ParseLine(Content(line));
  return true;
}

bool SettingsFile::Load(const std::string& path) {
  path_ = path;
  return Load();
}

bool SettingsFile::Reload() {
  items_.clear();
  return Load();
}

void SettingsFile::ParseLine(const ByteString& text) {
  ByteString line = text;
  if (!line.Empty() && line[0] == ' ') line.Erase(0, 1);
  if (comments_enabled_ && !line.Empty() && line[0] == comment_char_) return;
  size_t separator = line.FindCounted(separator_.Data(), separator_.Length());
  if (separator == ByteString::npos) return;

  ByteString key(line.Data(), separator);
  size_t blank = key.Find(" ");
  if (blank != ByteString::npos) key.Erase(blank, 1);

  size_t value_start = separator + separator_.Length();
  ByteString value(line.Data() + value_start, line.Length() - value_start);
  if (!value.Empty() && value[0] == ' ') value.Erase(0, 1);
  blank = value.Find(" ");
  if (comments_enabled_ && blank != ByteString::npos && blank + 1 < value.Length() &&
      value[blank + 1] == comment_char_) {
    value.Erase(blank, value.Length() - blank);
  }
  items_.push_back(std::move(key));
  items_.push_back(std::move(value));
}

std::optional<std::string> SettingsFile::GetString(const std::string& key) const {
  // Only key items are compared: a value that happens to spell a key must
  // not make the item after it (the next key) look like that key's value.
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    auto value = std::next(it);
    if (value == items_.end()) break;
    if (EqualsItem(*it, key)) return value->ToString();
    it = value;
  }
  return std::nullopt;
}

int32_t SettingsFile::GetInt(const std::string& key) const {
  std::optional<std::string> text = GetString(key);
  if (!text) return 0;
  const char* p = text->c_str();
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > static_cast<int64_t>(INT32_MAX) + 1) break;  // saturates below
  }
  int64_t number = negative ? -magnitude : magnitude;
  if (number > INT32_MAX) return INT32_MAX;
  if (number < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(number);
}

int SettingsFile::Put(const std::string& key, const std::string& value) {
  std::string contents;
  errno = 0;
  if (!ReadWholeFile(path_, &contents)) {
    if (errno != ENOENT) return 0;
    contents.clear();
  }
  std::string output;
  int count = ReplaceValue(contents, key, value, &output);
  if (count == 0) output = contents;
  if (count == 0 || !ReadsBack(output, key, value)) {
    count += AppendEntry(output, key, value, &output);
  }
  if (!ReplaceFile(io_ ? io_ : FileIo::Posix(), path_, output, 0600)) return 0;
  Reload();
  return count;
}

std::string SettingNotSavedText(const std::string& path, int error) {
  return "The setting could not be saved in " + path + " (" + std::strerror(error) +
         "); it applies until Quillo closes.";
}

int SettingsFile::PutInt(const std::string& key, int32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(number));
  return Put(key, text);
}

size_t SettingsFile::KeyPosition(const ByteString& line, const std::string& key) const {
  const size_t none = ByteString::npos;
  if (key.empty() || line.Find(separator_.CStr()) == none) return none;
  // The key must open the entry: at the start of the line, after one blank,
  // or right after a comment character there. Found anywhere else it is the
  // tail of a longer name or part of a value.
  size_t at = 0;
  if (at < line.Length() && line[at] == ' ') ++at;
  if (comments_enabled_ && at < line.Length() && line[at] == comment_char_) {
    ++at;
  } else if (at < line.Length() && line[at] == ' ') {
    // The reader drops the key's first blank as well: "  Key=1" is Key.
    ++at;
  }
  if (line.Length() - at < key.size()) return none;
  if (std::memcmp(line.Data() + at, key.data(), key.size()) != 0) return none;
  size_t after = at + key.size();
  // MailServer must not match MailServerPortNumber.
  if (after < line.Length() && (line[after] == ' ' || line[after] == separator_[0])) return at;
  return none;
}

int SettingsFile::ReplaceValue(const std::string& contents, const std::string& key,
                               const std::string& value, std::string* output) const {
  // Each physical line is matched on its own, as Load reads it; a line that
  // ends in a backslash therefore never takes the next line with it when it
  // is rewritten. Lines that are not rewritten are written back byte for
  // byte, apart from the line end.
  std::vector<std::string> lines = SplitLines(contents);
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  // An empty last line is the end of the file, not a line of its own.
  if (!lines.empty() && contents.back() != '\n' && lines.back().empty()) lines.pop_back();
  int count = 0;
  output->clear();
  for (std::string& line : lines) {
    ByteString content = Content(line);
    size_t at = KeyPosition(content, key);
    if (at != ByteString::npos) {
      line.assign(content.CStr(), at + key.size());
      line += separator_.ToString();
      line += value;
      ++count;
    }
    *output += line;
    *output += "\r\n";
  }
  return count;
}

int SettingsFile::AppendEntry(const std::string& contents, const std::string& key,
                              const std::string& value, std::string* output) const {
  // A last line without its line end would otherwise run into the new entry.
  std::string entry;
  if (!contents.empty()) {
    const char last = contents.back();
    if (last == '\r') entry = "\n";
    if (last != '\r' && last != '\n') entry = "\r\n";
  }
  entry += key + separator_.ToString() + value + "\r\n";
  *output = contents + entry;
  return 1;
}

bool SettingsFile::ReadsBack(const std::string& contents, const std::string& key,
                             const std::string& value) const {
  SettingsFile reader;
  for (const std::string& line : SplitLines(contents)) reader.ParseLine(Content(line));
  return reader.GetString(key) == value;
}
