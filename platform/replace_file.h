// A file written under a temporary name beside its target and put in place by one rename at
// the end: a reader never meets it half-written, and a failed or abandoned write leaves the
// earlier file exactly as it was. Names are as the operating system takes them (UTF-8).
#pragma once

#include <string>

class TFileReplacement {
  public:
    TFileReplacement() = default;
    // Removes the temporary when it was not put in place.
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;
    // The file written goes with the object: the one moved from holds none.
    TFileReplacement(TFileReplacement&& other) noexcept;
    TFileReplacement& operator=(TFileReplacement&& other) noexcept;

    // Creates the temporary ".NAME.XXXXXX" in the target's folder, with the permissions of
    // the file it replaces, or of a new file (umask) when there is none. A symbolic link is
    // followed: the file it leads to is replaced. A target that exists and is no regular
    // file (a device, a pipe) is written directly. Answers 0, or the system's error number.
    int Create(const std::string& target);
    int Fd() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // The file being written: the temporary, or the target written directly.
    const std::string& WrittenPath() const { return temporary_.empty() ? target_ : temporary_; }
    const std::string& Target() const { return target_; }

    // Flushes the bytes to the disk, closes and renames the temporary over the target.
    // Answers 0, or the error number; on an error the temporary is removed.
    int Commit() { return CommitAs(target_); }
    // The same under another name in the target's folder (what a stopped write keeps).
    int CommitAs(const std::string& name);
    // Closes and removes the temporary.
    void Discard();

  private:
    int fd_ = -1;
    std::string target_;
    std::string temporary_;  // empty when the target is written directly
};

// Writes data as the whole new content of path through a TFileReplacement; answers 0 or the
// system's error number.
int ReplaceFileContent(const std::string& path, const std::string& data);
