// Feeds arbitrary bytes to the settings-file reader and writer. Rewriting
// one key must keep every line that does not hold it, byte for byte, and
// must leave the file readable with the new value in place.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/settings/settings_file.h"
#include "fuzz/fuzz_support.h"

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = fuzz::ScratchPath("settings.ini");
  fuzz::WriteFile(path, data, size);
  SettingsFile reader(path);
  if (!reader.Load()) std::abort();
  for (const char* key : {"ScreenName", "MailServer", "A"}) {
    (void)reader.GetString(key);
    (void)reader.GetInt(key);
  }

  const std::vector<std::string> old_lines = Lines(fuzz::ReadFile(path));
  SettingsFile writer(path);
  if (writer.Put("ScreenName", "Ann") < 1) std::abort();
  const std::vector<std::string> new_lines = Lines(fuzz::ReadFile(path));
  // Every old line without the key survives, in order (an empty last line
  // without line end is no line).
  size_t next = 0;
  for (const std::string& line : old_lines) {
    if (line.empty() || line.find("ScreenName") != std::string::npos) continue;
    while (next < new_lines.size() && new_lines[next] != line) ++next;
    if (next == new_lines.size()) std::abort();
    ++next;
  }
  // The rewritten or appended entry reads back as a line of its own; a
  // rewritten line keeps its lead (blanks, a comment character), as the
  // reader skips them.
  bool found = false;
  for (const std::string& line : new_lines) {
    const size_t entry = line.find_first_not_of(" \t#");
    found = found || (entry != std::string::npos &&
                      line.compare(entry, std::string::npos, "ScreenName=Ann") == 0);
  }
  if (!found) std::abort();
  std::remove(path.c_str());
  return 0;
}
