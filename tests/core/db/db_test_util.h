#ifndef QUILLO_TESTS_DB_DB_TEST_UTIL_H
#define QUILLO_TESTS_DB_DB_TEST_UTIL_H

#include "core/db/db_test_keys.h"
#include "support/test_support.h"

using TempDir = qtest::ScratchDir;
using qtest::Le32;
using qtest::Patch;
using qtest::ReadAll;

#endif  // QUILLO_TESTS_DB_DB_TEST_UTIL_H
