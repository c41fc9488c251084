// Gives each test process a temporary directory of its own, so that test cases running in
// parallel never meet in /tmp. TEST_TMPDIR and TMPDIR point at it while it lives.
#pragma once

#include <string>

class TTestTempDir {
  public:
    TTestTempDir();
    ~TTestTempDir();
    TTestTempDir(const TTestTempDir&) = delete;
    TTestTempDir& operator=(const TTestTempDir&) = delete;

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};
