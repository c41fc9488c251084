// The export script file: created or truncated, written in large blocks straight to the
// operating system, closed by its destructor. Failures raise EInOutError with the runtime's
// texts ("File access denied", "Disk full", ...) mapped from the system's error numbers.
#pragma once

#include <string>
#include <string_view>

class TScriptFile {
  public:
    TScriptFile() = default;
    ~TScriptFile();
    TScriptFile(const TScriptFile&) = delete;
    TScriptFile& operator=(const TScriptFile&) = delete;

    // fileName is system text (CP1251). With append the file is kept and written at its end.
    void Rewrite(const std::string& fileName, bool append = false);
    // Writes to standard output instead of a file; Close leaves it open.
    void UseStandardOutput();
    void Write(std::string_view data);
    // Closes the file after its bytes reached the disk, reporting a failure of either, and
    // "File not found" when the name no longer leads to the file written (its folder was
    // removed or the name taken by another file while it was written).
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
    bool ownsFd_ = true;
    std::string path_;  // as the operating system takes it
};

// The runtime's input/output error for a system error number.
[[noreturn]] void RaiseInOutError(int errorNumber);
