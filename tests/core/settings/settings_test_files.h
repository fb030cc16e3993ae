#ifndef QUILLO_TESTS_UI_SETTINGS_TEST_FILES_H
#define QUILLO_TESTS_UI_SETTINGS_TEST_FILES_H

#include "support/test_support.h"

using ScratchDirectory = qtest::ScratchDir;
using qtest::ReadBytes;
using qtest::WriteBytes;

#endif  // QUILLO_TESTS_UI_SETTINGS_TEST_FILES_H
