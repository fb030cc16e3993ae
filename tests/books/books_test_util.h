#ifndef QUILLO_TESTS_BOOKS_BOOKS_TEST_UTIL_H
#define QUILLO_TESTS_BOOKS_BOOKS_TEST_UTIL_H

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "util/reporter.h"

// Runs each test in a fresh working directory: the books and the rebuild's
// temporary file live in the working directory.
class BookDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillo_books_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previous_ = cwd;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_.c_str()), 0);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  static std::vector<unsigned char> ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
  }
  static void Patch(const std::string& name, long offset, const void* bytes, size_t n) {
    FILE* f = std::fopen(name.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, offset, SEEK_SET);
    std::fwrite(bytes, 1, n, f);
    std::fclose(f);
  }
  static bool Exists(const std::string& name) {
    struct stat st {};
    return stat(name.c_str(), &st) == 0;
  }
  static int32_t Le32(const std::vector<unsigned char>& b, size_t at) {
    return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                   uint32_t(b[at + 3]) << 24);
  }

  std::string dir_;
  std::string previous_;
};

// Collects what the books report.
class RecordingReporter : public Reporter {
 public:
  void ConversationLine(const std::string& text) override { conversation += text; }
  void EventLine(const std::string& text) override { events += text; }
  void StatusText(const std::string&) override {}
  void ProgramMessage(const std::string& first, const std::string& second,
                      const std::string& third) override {
    messages.push_back(first + second + third);
  }
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return false; }

  std::string conversation;
  std::string events;
  std::vector<std::string> messages;
};

#endif  // QUILLO_TESTS_BOOKS_BOOKS_TEST_UTIL_H
