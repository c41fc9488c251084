#include "tests/support/test_temp_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

TTestTempDir::TTestTempDir() {
    std::string pattern = "/tmp/quorvath-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;  // tests then share /tmp, as before
    path_ = pattern;
    ::setenv("TEST_TMPDIR", path_.c_str(), 1);
    ::setenv("TMPDIR", path_.c_str(), 1);
}

TTestTempDir::~TTestTempDir() {
    if (path_.empty() || ::getenv("QUORVATH_KEEP_TEST_TMP")) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
