#pragma once
// Things that can stand where a game file should be (named pipes, folders,
// devices, sockets, links that lead nowhere), a watchdog that frees a reader
// stuck on a pipe so a faulty open fails its test instead of hanging it, and
// a file size limit that makes writes fail like a full disk.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

enum class OddFile { Fifo, Folder, DevZeroLink, DevNullLink, Socket, LinkLoop, FifoLink };

inline constexpr OddFile kOddFiles[] = {OddFile::Fifo,        OddFile::Folder, OddFile::DevZeroLink,
                                        OddFile::DevNullLink, OddFile::Socket, OddFile::LinkLoop,
                                        OddFile::FifoLink};

inline const char* OddFileName(OddFile kind) {
  switch (kind) {
    case OddFile::Fifo:
      return "named pipe";
    case OddFile::Folder:
      return "folder";
    case OddFile::DevZeroLink:
      return "link to /dev/zero";
    case OddFile::DevNullLink:
      return "link to /dev/null";
    case OddFile::Socket:
      return "socket";
    case OddFile::LinkLoop:
      return "link loop";
    case OddFile::FifoLink:
      return "link to a named pipe";
  }
  return "?";
}

// Puts `kind` at path (which must not exist; its folder must). False when the
// system cannot make it.
inline bool MakeOddFile(const std::string& path, OddFile kind) {
  switch (kind) {
    case OddFile::Fifo:
      return ::mkfifo(path.c_str(), 0644) == 0;
    case OddFile::Folder:
      return ::mkdir(path.c_str(), 0755) == 0;
    case OddFile::DevZeroLink:
      return ::symlink("/dev/zero", path.c_str()) == 0;
    case OddFile::DevNullLink:
      return ::symlink("/dev/null", path.c_str()) == 0;
    case OddFile::Socket: {
      sockaddr_un addr{};
      addr.sun_family = AF_UNIX;
      if (path.size() >= sizeof addr.sun_path) return false;
      std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
      const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (s < 0) return false;
      const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
      ::close(s);  // the socket file stays
      return ok;
    }
    case OddFile::LinkLoop:
      return ::symlink(std::filesystem::path(path).filename().c_str(), path.c_str()) == 0;
    case OddFile::FifoLink:
      return ::mkfifo((path + ".pipe").c_str(), 0644) == 0 &&
             ::symlink((path + ".pipe").c_str(), path.c_str()) == 0;
  }
  return false;
}

// While alive, watches named pipes: once `patience` has passed it keeps
// opening each for writing and closing it again, which hands a reader blocked
// in open an empty pipe. Fired() tells whether anything had to be freed.
class PipeWatchdog {
 public:
  explicit PipeWatchdog(std::vector<std::string> pipes,
                        std::chrono::milliseconds patience = std::chrono::seconds(3))
      : pipes_(std::move(pipes)), thread_([this, patience] { Run(patience); }) {}
  ~PipeWatchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  PipeWatchdog(const PipeWatchdog&) = delete;
  PipeWatchdog& operator=(const PipeWatchdog&) = delete;

  bool Fired() const { return fired_; }

 private:
  void Run(std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, patience, [this] { return stop_; })) return;
    while (!stop_) {
      for (const std::string& p : pipes_) {
        // Succeeds only when a reader waits on the pipe.
        const int fd = ::open(p.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          fired_ = true;
          ::close(fd);
        }
      }
      wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stop_; });
    }
  }

  std::vector<std::string> pipes_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

// Limits the size of files this process writes; writes past it fail (EFBIG)
// as on a full disk. Restores the limit and the signal's handling.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, oldHandler_);
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace testsupport
