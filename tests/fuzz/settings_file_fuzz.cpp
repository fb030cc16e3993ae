// Arbitrary bytes through the settings-file reader and writer. Rewriting one
// key must keep every line that does not hold it, in order, and leave the
// new entry readable on a line of its own.
#include <sstream>
#include <string>
#include <vector>

#include "core/settings/settings_file.h"
#include "fuzz/fuzz_support.h"

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
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
  if (SettingsFile(path).Put("ScreenName", "Ann") < 1) std::abort();
  const std::vector<std::string> new_lines = Lines(fuzz::ReadFile(path));
  size_t next = 0;
  for (const std::string& line : old_lines) {
    if (line.empty() || line.find("ScreenName") != std::string::npos) continue;
    while (next < new_lines.size() && new_lines[next] != line) ++next;
    if (next++ == new_lines.size()) std::abort();
  }
  // A rewritten line keeps its lead (blanks, a comment character), which
  // the reader skips.
  bool found = false;
  for (const std::string& line : new_lines) {
    const size_t entry = line.find_first_not_of(" \t#");
    found = found || (entry != std::string::npos && line.substr(entry) == "ScreenName=Ann");
  }
  if (!found) std::abort();
  std::remove(path.c_str());
  return 0;
}
