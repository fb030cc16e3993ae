#ifndef QUILLO_TESTS_BOOKS_BOOKS_TEST_UTIL_H
#define QUILLO_TESTS_BOOKS_BOOKS_TEST_UTIL_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/chat/recording_reporter.h"
#include "core/db/indexed_database.h"
#include "support/test_support.h"

// Runs each test in a fresh working directory: the books and the rebuild's
// temporary file live in the working directory.
class BookDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previous_ = cwd;
    ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(previous_.c_str()), 0); }

  qtest::ScratchDir dir_;
  std::string previous_;
};

inline void CloseBook(IndexedDatabase* book) {
  if (book) book->Close();
  delete book;
}

using qtest::Exists;
using qtest::Le32;
using qtest::Patch;
using qtest::ReadAll;

#endif  // QUILLO_TESTS_BOOKS_BOOKS_TEST_UTIL_H
