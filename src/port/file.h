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

// The largest file each reader takes, far above anything the game ships (the
// largest shipped file of each kind is under 128 KiB) and small enough that a
// file lying about what it holds cannot make the game hold much memory. A
// larger file is refused from its size alone, before a byte is read.
enum class FileKind { KeyValue, Effect, Model, Image, Sound, Music };

struct FileLimit {
  FileKind kind;
  const char* name;  // in the refusal line
  uint64_t maxBytes;
};

inline constexpr FileLimit kFileLimits[] = {
    {FileKind::KeyValue, "key=value", uint64_t{1} << 20},  // save, option and placement files
    {FileKind::Effect, "effect", uint64_t{1} << 20},       // the shader effect file
    {FileKind::Model, "model", uint64_t{64} << 20},        // .X files
    {FileKind::Image, "image", uint64_t{64} << 20},        // PNG, JPEG, BMP, TGA
    {FileKind::Sound, "sound", uint64_t{16} << 20},        // effect sounds (WAV)
    {FileKind::Music, "music", uint64_t{1} << 20},         // Standard MIDI Files
};

constexpr const FileLimit& LimitOf(FileKind kind) { return kFileLimits[static_cast<int>(kind)]; }

// True when a file of `size` bytes is within its kind's limit; else writes
// one line naming the file on standard error.
bool WithinFileLimit(const std::string& path, uint64_t size, FileKind kind);

// A read-only descriptor of the regular file path names (symbolic links
// followed), blocking and close-on-exec; -1 for anything else. The open never
// blocks and never opens a device. *size, when given, receives the file size.
int OpenRegularFile(const std::string& path, uint64_t* size = nullptr);

// The same as a binary read stream; null for anything but a regular file.
std::FILE* OpenRegularFileStream(const std::string& path);
// The same for a game file of `kind`: null, with one line on standard error,
// when the file is over its kind's limit.
std::FILE* OpenRegularFileStream(const std::string& path, FileKind kind);

// True when path names a folder (links followed) whose entries this process
// may both list and open; false for anything else, a folder it may not read
// or search included.
bool IsReadableFolder(const std::string& path);

// The path a write to `path` should replace: the final target when path is a
// symbolic link (relative links taken from the link's folder; up to 40
// links), else path itself. Links to links are followed even when the final
// target does not exist yet.
std::string WriteTarget(const std::string& path);

// A file written beside its destination and renamed over it on Commit, so a
// crash, a full disk or a power loss leaves the old or the new file whole,
// never a part. A destination that is a symbolic link is written through to
// its target; the new file gets the old file's permission bits (and owner,
// where allowed). One file at a time per object. Writers of one target, in
// one process or several, never share a temporary file: the last to commit
// wins, each commit puts one writer's whole file in place.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile() { Discard(); }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates a temporary file of this writer's own beside the target
  // ("<target>.<pid>.<n>.tmp"), after removing those whose writers died
  // (file.cpp says when that is certain). False when it cannot be made.
  bool Open(const std::string& path);
  bool IsOpen() const { return stream_ != nullptr; }
  std::FILE* Stream() const { return stream_; }
  const std::string& Target() const { return target_; }
  const std::string& TempPath() const { return temp_; }

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
