// The export script file: written in large blocks straight to the operating system under a
// temporary name beside the script, and put in place by Close at the end of a run; a run that
// fails leaves an earlier script as it was. Failures raise EInOutError with the runtime's
// texts ("File access denied", "Disk full", ...) mapped from the system's error numbers, the
// file and the system's reason: "Disk full: /data/out.sql (No space left on device)".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/commit_behind.h"
#include "platform/replace_file.h"
#include "platform/write_behind.h"

class TScriptFile {
  public:
    TScriptFile() = default;
    ~TScriptFile();
    TScriptFile(const TScriptFile&) = delete;
    TScriptFile& operator=(const TScriptFile&) = delete;

    // fileName is system text (CP1251). Opens the temporary the script is written to.
    void Rewrite(const std::string& fileName);
    // Writes to standard output instead of a file; Close leaves it open.
    void UseStandardOutput();
    void Write(std::string_view data);
    // Puts the script in place after its bytes reached the disk, reporting a failure of
    // either ("File not found" when its folder was removed while it was written).
    void Close();
    // Close, with the putting in place left to commits while the caller goes on; answers
    // the ticket SettleScript takes (0 for standard output, which is only left).
    uint64_t CloseBehind(TCommitBehind& commits);
    // Keeps what was written as NAME.partial beside the script, the earlier script left as
    // it was; answers that name (system text). Standard output is only left.
    std::string ClosePartial();
    // Drops what was written: the temporary goes, an earlier script stays as it was.
    void Discard();
    bool IsOpen() const { return toStandardOutput_ || file_.IsOpen(); }
    // The bytes written since Rewrite or UseStandardOutput.
    uint64_t BytesWritten() const { return written_; }

  private:
    // The file's name for an error (system text).
    std::string Name() const;

    TFileReplacement file_;
    TWriteBehind behind_;
    bool toStandardOutput_ = false;
    uint64_t written_ = 0;
};

// Waits for the script CloseBehind handed to commits under fileName (system text), raising
// what Close would have.
void SettleScript(TCommitBehind& commits, uint64_t ticket, const std::string& fileName);

// The runtime's input/output error for a system error number, naming the file (system
// text) and the system's reason.
[[noreturn]] void RaiseInOutError(int errorNumber, const std::string& fileName);
