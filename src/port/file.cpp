#include "port/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <iterator>

namespace port {

namespace {

constexpr int kMaxLinkHops = 40;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

// LimitOf indexes the table by kind.
static_assert([] {
  for (int i = 0; i < static_cast<int>(std::size(kFileLimits)); ++i)
    if (static_cast<int>(kFileLimits[i].kind) != i) return false;
  return std::size(kFileLimits) == static_cast<size_t>(FileKind::Music) + 1;
}());

bool WithinFileLimit(const std::string& path, uint64_t size, FileKind kind) {
  const FileLimit& limit = LimitOf(kind);
  if (size <= limit.maxBytes) return true;
  std::fprintf(stderr,
               "%s: not read: %" PRIu64 " bytes, more than a %s file may hold (%" PRIu64 ")\n",
               path.c_str(), size, limit.name, limit.maxBytes);
  return false;
}

int OpenRegularFile(const std::string& path, uint64_t* size) {
  if (path.empty()) return -1;
  struct stat st {};
  // Look first: opening a device can have effects of its own.
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  // Non-blocking in case a pipe took the file's place since the look.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  if (size) *size = static_cast<uint64_t>(st.st_size);
  return fd;
}

std::FILE* OpenRegularFileStream(const std::string& path) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
}

std::FILE* OpenRegularFileStream(const std::string& path, FileKind kind) {
  uint64_t size = 0;
  const int fd = OpenRegularFile(path, &size);
  if (fd < 0) return nullptr;
  if (!WithinFileLimit(path, size, kind)) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
}

std::string WriteTarget(const std::string& path) {
  std::string p = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return path;
    const std::string link(buf, static_cast<size_t>(n));
    if (link[0] == '/' || p.find('/') == std::string::npos)
      p = link;
    else
      p = p.substr(0, p.rfind('/') + 1) + link;
  }
  return path;  // a loop of links leads nowhere: replace the link itself
}

bool ReplacementFile::Open(const std::string& path) {
  Discard();
  if (path.empty()) return false;
  std::string target = WriteTarget(path);
  struct stat old {};
  const bool hasOld = ::stat(target.c_str(), &old) == 0;
  // A link to a pipe, a folder or a device is no save file: the link itself
  // is replaced, as a missing file would be created, and the device is never
  // written.
  if (hasOld && !S_ISREG(old.st_mode) && target != path) target = path;
  const bool keepMode = hasOld && S_ISREG(old.st_mode);

  std::string temp = target + ".tmp";
  // A stale temporary file from a crash goes; anything else there (a folder,
  // a pipe) makes the creation below fail instead of being written into.
  struct stat stale {};
  if (::lstat(temp.c_str(), &stale) == 0 && (S_ISREG(stale.st_mode) || S_ISLNK(stale.st_mode)))
    ::unlink(temp.c_str());
  const int fd =
      ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (keepMode) {
    // Owner first: changing it may clear the set-id bits the mode restores.
    // Only a privileged process may give a file away; elsewhere it is ours.
    const bool ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    (void)ownerKept;
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
      ::close(fd);
      ::unlink(temp.c_str());
      return false;
    }
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  stream_ = f;
  target_ = std::move(target);
  temp_ = std::move(temp);
  return true;
}

bool ReplacementFile::Commit(bool ok) {
  if (!stream_) return false;
  std::FILE* f = stream_;
  stream_ = nullptr;
  if (std::fflush(f) != 0 || std::ferror(f)) ok = false;
  if (ok && ::fsync(::fileno(f)) != 0) ok = false;
  if (std::fclose(f) != 0) ok = false;
  if (ok && std::rename(temp_.c_str(), target_.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp_.c_str());
  const bool synced = ok && SyncParentFolder(target_);
  target_.clear();
  temp_.clear();
  return synced;
}

void ReplacementFile::Discard() {
  if (!stream_) return;
  std::fclose(stream_);
  stream_ = nullptr;
  ::unlink(temp_.c_str());
  target_.clear();
  temp_.clear();
}

bool SyncParentFolder(const std::string& path) {
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  ::close(fd);
  return ok;
}

}  // namespace port
