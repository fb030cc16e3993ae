// Feeds arbitrary bytes to the settings-file reader and writer. Rewriting
// one key must keep every line that does not hold it, byte for byte, and
// must leave the file readable with the new value in place.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/settings/settings_file.h"

namespace {

std::string ScratchPath() {
  static const std::string path = "/tmp/quillo-fuzz-settings-" + std::to_string(getpid()) + ".ini";
  return path;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

std::string Read(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) std::abort();
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<char>(c));
  std::fclose(file);
  return bytes;
}

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
  const std::string path = ScratchPath();
  Write(path, data, size);
  SettingsFile reader(path);
  if (!reader.Load()) std::abort();
  for (const char* key : {"ScreenName", "MailServer", "A"}) {
    (void)reader.GetString(key);
    (void)reader.GetInt(key);
  }

  std::string before = Read(path);
  SettingsFile writer(path);
  if (writer.Put("ScreenName", "Ann") < 1) std::abort();
  std::vector<std::string> old_lines = Lines(before);
  std::vector<std::string> new_lines = Lines(Read(path));
  // Every old line without the key survives, in order (an empty last line
  // without line end is no line).
  size_t next = 0;
  for (const std::string& line : old_lines) {
    if (line.empty() || line.find("ScreenName") != std::string::npos) continue;
    while (next < new_lines.size() && new_lines[next] != line) ++next;
    if (next == new_lines.size()) std::abort();
    ++next;
  }
  // The rewritten or appended entry reads back as a line of its own.
  bool found = false;
  // The rewritten line keeps its lead (blanks, a comment character), as
  // the reader skips them.
  for (const std::string& line : new_lines) {
    const size_t entry = line.find_first_not_of(" \t#");
    found = found || (entry != std::string::npos && line.compare(entry, std::string::npos,
                                                                 "ScreenName=Ann") == 0);
  }
  if (!found) std::abort();
  std::remove(path.c_str());
  return 0;
}
