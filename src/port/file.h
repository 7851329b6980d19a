#pragma once
// Opening files that may be anything. A game file can be replaced by a named
// pipe, a directory, a device or a socket; reading one of those must answer
// as a missing file does, at once, instead of blocking or reading forever.
// Saves are written beside the old file and put in place whole.
//
// Paths are taken as given: resolve data paths (ResolvePath) first.
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace port {

// A read-only descriptor of the regular file path names (symbolic links
// followed), blocking and close-on-exec; -1 for anything else. The open never
// blocks and never opens a device. *size, when given, receives the file size.
int OpenRegularFile(const std::string& path, uint64_t* size = nullptr);

// The same as a binary read stream; null for anything but a regular file.
std::FILE* OpenRegularFileStream(const std::string& path);

// The path a write to `path` should replace: the final target when path is a
// symbolic link (relative links taken from the link's folder; up to 40
// links), else path itself. Links to links are followed even when the final
// target does not exist yet.
std::string WriteTarget(const std::string& path);

// A file written beside its destination and renamed over it on Commit, so a
// crash, a full disk or a power loss leaves the old or the new file whole,
// never a part. A destination that is a symbolic link is written through to
// its target; the new file gets the old file's permission bits (and owner,
// where allowed). One file at a time per object.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile() { Discard(); }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file ("<target>.tmp", replacing a stale one that
  // is a regular file or a link). False when it cannot be made.
  bool Open(const std::string& path);
  bool IsOpen() const { return stream_ != nullptr; }
  std::FILE* Stream() const { return stream_; }
  const std::string& Target() const { return target_; }

  // Flushes and syncs the file, renames it over the target and syncs the
  // folder. False when a step fails: before the rename the old file stays and
  // the temporary file is removed; a failed folder sync after the rename
  // also answers false (the new file is in place but may not survive a power
  // loss). `ok` false discards the file instead (an earlier write failed).
  bool Commit(bool ok = true);
  // Closes and removes the temporary file; the old file stays.
  void Discard();

 private:
  std::FILE* stream_ = nullptr;
  std::string target_;
  std::string temp_;
};

// Syncs the folder holding `path` so a rename into it survives a power
// loss. True when synced, or when the file system cannot sync folders.
bool SyncParentFolder(const std::string& path);

}  // namespace port
