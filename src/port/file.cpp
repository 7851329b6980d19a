#include "port/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <string_view>

namespace port {

namespace {

constexpr int kMaxLinkHops = 40;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every writer's temporary file has a name of its own, "<target>.<pid>.<n>.tmp",
// n counting the process's temporary files, so no writer ever opens, removes
// or renames another's.
std::atomic<uint32_t> g_tempSerial{0};
constexpr int kTempNameTries = 100;

// The writer's process id in a temporary file name of `base`, or 0 when
// `entry` is no such name.
pid_t TempWriter(std::string_view entry, std::string_view base) {
  constexpr std::string_view kSuffix = ".tmp";
  if (entry.size() < base.size() + kSuffix.size() + 4 || !entry.starts_with(base) ||
      !entry.ends_with(kSuffix))
    return 0;
  entry.remove_prefix(base.size());
  entry.remove_suffix(kSuffix.size());
  // Now ".<pid>.<n>".
  const size_t dot = entry.find('.', 1);
  if (entry[0] != '.' || dot == std::string_view::npos) return 0;
  const std::string_view pid = entry.substr(1, dot - 1), serial = entry.substr(dot + 1);
  auto number = [](std::string_view digits, size_t most) {
    return !digits.empty() && digits.size() <= most &&
           digits.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!number(pid, 9) || !number(serial, 10)) return 0;
  return static_cast<pid_t>(std::strtol(std::string(pid).c_str(), nullptr, 10));
}

// Removes the temporary files that writers of `target` left when they died.
// A writer holds a lock on its temporary file until it commits or discards,
// and the system drops the lock however the writer ends. A file goes only
// when it is a regular file, its writer's process is gone (a process of
// another user answers EPERM and counts as alive) and its lock is free: a
// writer whose process id means nothing here (another pid namespace or
// machine sharing the folder) still holds its lock, and a reused process id
// only keeps a dead writer's file. When in doubt a file stays: a stray file
// costs a little space, a removed one would cost another process its save.
void RemoveDeadWritersFiles(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string base = BaseOf(target);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const pid_t self = ::getpid();
  while (const dirent* e = ::readdir(dir)) {
    const pid_t writer = TempWriter(e->d_name, base);
    if (writer <= 0 || writer == self || ::kill(writer, 0) == 0 || errno != ESRCH) continue;
    const std::string path = folder + "/" + e->d_name;
    // Look first: opening a device can have effects of its own.
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) continue;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    // Still the file looked at, and still there once locked: the name may
    // have been taken by another file meanwhile.
    struct stat held {};
    if (::fstat(fd, &held) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      ::unlink(path.c_str());
    ::close(fd);
  }
  ::closedir(dir);
}

// Creates a temporary file of the writer's own beside `target`, locked for
// as long as the writer holds it; -1 when none can be made.
int CreateTempFile(const std::string& target, std::string* temp) {
  const std::string prefix = target + "." + std::to_string(::getpid()) + ".";
  for (int i = 0; i < kTempNameTries; ++i) {
    *temp = prefix + std::to_string(g_tempSerial++) + ".tmp";
    // Exclusive and never through a link: whatever holds the name (a dead
    // writer's file with a reused process id, a link, a pipe) is never
    // written into; the next name is taken.
    const int fd = ::open(temp->c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // Taken already: a cleaner that misjudged this process as dead is
    // removing the file; the next name is taken. Where the file system has
    // no locks, the process id alone guards the file.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      ::close(fd);
      continue;
    }
    return fd;
  }
  return -1;
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

bool IsReadableFolder(const std::string& path) {
  if (path.empty()) return false;
  // Asked as the files would be opened, with the effective ids; then listed,
  // which answers where a permission check could not (a file system of its
  // own rules).
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK | X_OK, AT_EACCESS) != 0) return false;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return false;
  errno = 0;
  const bool listed = ::readdir(dir) != nullptr || errno == 0;
  ::closedir(dir);
  return listed;
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

  RemoveDeadWritersFiles(target);
  std::string temp;
  const int fd = CreateTempFile(target, &temp);
  if (fd < 0) return false;
  if (keepMode) {
    // Owner first: changing it may clear the set-id bits the mode restores.
    // Only a privileged process may give a file away; elsewhere it is ours.
    const bool ownerKept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    (void)ownerKept;
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
      ::unlink(temp.c_str());
      ::close(fd);
      return false;
    }
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    ::unlink(temp.c_str());
    ::close(fd);
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
  // Renamed while still open and locked, so no cleaner takes it meanwhile. A
  // file another process removed fails here, and reports no save.
  if (ok && std::rename(temp_.c_str(), target_.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp_.c_str());
  std::fclose(f);  // flushed and synced: nothing is left to fail
  const bool synced = ok && SyncParentFolder(target_);
  target_.clear();
  temp_.clear();
  return synced;
}

void ReplacementFile::Discard() {
  if (!stream_) return;
  ::unlink(temp_.c_str());
  std::fclose(stream_);
  stream_ = nullptr;
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
