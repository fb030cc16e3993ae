#ifndef QUILLO_TESTS_UI_SETTINGS_TEST_FILES_H
#define QUILLO_TESTS_UI_SETTINGS_TEST_FILES_H

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillo-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

inline std::string ReadBytes(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<char>(c));
  std::fclose(file);
  return bytes;
}

#endif  // QUILLO_TESTS_UI_SETTINGS_TEST_FILES_H
