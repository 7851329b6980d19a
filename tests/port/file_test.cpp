#include "port/file.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "port/audio.h"
#include "port/effect.h"
#include "port/image.h"
#include "port/path.h"
#include "port/xfile.h"
#include "support/hostile_files.h"
#include "support/odd_files.h"
#include "support/temp_dir.h"
#include "support/waiting.h"

namespace fs = std::filesystem;
using testsupport::OddFile;

// Every fsync of the test program, recorded while g_recordSyncs is set: what
// was synced (a folder or a file) and its inode, in order.
namespace {
struct SyncRecord {
  bool folder;
  ino_t inode;
};
bool g_recordSyncs = false;
std::vector<SyncRecord> g_syncs;
}  // namespace

extern "C" int fsync(int fd) {
  using Fsync = int (*)(int);
  static const Fsync real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
  if (g_recordSyncs) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) g_syncs.push_back({S_ISDIR(st.st_mode), st.st_ino});
  }
  return real(fd);
}

namespace {

using testsupport::ReadAll;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// The names of temporary files in a folder.
std::vector<std::string> TempsIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".tmp") names.push_back(e.path().filename().string());
  return names;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Each reader of game files, run on one path: true when it read something.
struct Reader {
  const char* name;
  std::function<bool(const std::string&)> read;
};

const std::vector<Reader>& Readers() {
  static const std::vector<Reader> readers = {
      {"OpenRegularFile",
       [](const std::string& p) {
         const int fd = port::OpenRegularFile(p);
         if (fd >= 0) ::close(fd);
         return fd >= 0;
       }},
      {"OpenRegularFileStream",
       [](const std::string& p) {
         std::FILE* f = port::OpenRegularFileStream(p);
         if (f) std::fclose(f);
         return f != nullptr;
       }},
      {"ReadFileBytes",
       [](const std::string& p) {
         std::vector<uint8_t> bytes{1, 2, 3};
         const bool ok = port::ReadFileBytes(p, &bytes);
         EXPECT_TRUE(ok || bytes.empty());
         return ok;
       }},
      {"LoadImageFile",
       [](const std::string& p) {
         port::Image img;
         return port::LoadImageFile(p, &img);
       }},
      {"x::File::Load",
       [](const std::string& p) {
         port::x::Error error;
         return port::x::File::Load(p, &error) != nullptr;
       }},
      {"Effect::CreateFromFile",
       [](const std::string& p) {
         port::Effect* effect = nullptr;
         std::string errors;
         port::Effect::CreateFromFile(nullptr, p, &effect, &errors);
         return errors.find("cannot read") == std::string::npos;
       }},
      {"LoadAudioSegment",
       [](const std::string& p) {
         bool any = false;
         for (port::AudioKind kind : {port::AudioKind::Effect, port::AudioKind::Music}) {
           port::AudioSegment* s = port::LoadAudioSegment(p.c_str(), kind);
           any = any || s != nullptr;
           port::FreeAudioSegment(s);
         }
         return any;
       }},
  };
  return readers;
}

TEST(OddFiles, EveryReaderAnswersAsForAMissingFileAtOnce) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const bool audio = port::OpenAudio(nullptr);
  testsupport::TempDir dir;
  std::vector<std::string> pipes;
  std::vector<std::pair<std::string, OddFile>> paths;
  for (OddFile kind : testsupport::kOddFiles) {
    const std::string p = (dir.path() / ("odd" + std::to_string(paths.size()))).string();
    ASSERT_TRUE(testsupport::MakeOddFile(p, kind)) << testsupport::OddFileName(kind);
    if (kind == OddFile::Fifo) pipes.push_back(p);
    if (kind == OddFile::FifoLink) pipes.push_back(p + ".pipe");
    paths.emplace_back(p, kind);
  }
  paths.emplace_back((dir.path() / "missing").string(), OddFile::Fifo);  // for comparison

  testsupport::PipeWatchdog watchdog(pipes);
  testsupport::HangGuard guard(std::chrono::seconds(60));
  for (const Reader& reader : Readers()) {
    if (!audio && std::string(reader.name) == "LoadAudioSegment") continue;
    for (const auto& [path, kind] : paths) {
      const std::string what = std::string(reader.name) + " on a " + testsupport::OddFileName(kind);
      guard.Doing(what);
      const uint64_t read = testsupport::BytesReadSoFar();
      EXPECT_FALSE(reader.read(path)) << what;
      EXPECT_LT(testsupport::BytesReadSoFar() - read, 64u << 10) << what << " read from it";
    }
  }
  EXPECT_FALSE(watchdog.Fired()) << "a reader blocked on a named pipe";
  port::CloseAudio();
}

TEST(OddFiles, RegularFilesStillReadThroughLinks) {
  testsupport::TempDir dir;
  const std::string file = dir.Write("real.bin", "abc");
  ASSERT_EQ(::symlink("real.bin", (dir.path() / "link").c_str()), 0);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(port::ReadFileBytes((dir.path() / "link").string(), &bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
  uint64_t size = 0;
  const int fd = port::OpenRegularFile(file, &size);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(size, 3u);
  // The descriptor blocks again (a read waits for data rather than failing).
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  ::close(fd);
  // Too large for the caller: refused, nothing kept.
  bytes = {9};
  EXPECT_FALSE(port::ReadFileBytes(file, &bytes, 2));
  EXPECT_TRUE(bytes.empty());
}

class ReplacementFileTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return (dir_.path() / name).string(); }
  // Writes `text` to path through a ReplacementFile; the Commit result.
  bool Save(const std::string& path, const std::string& text) {
    port::ReplacementFile file;
    if (!file.Open(path)) return false;
    std::fputs(text.c_str(), file.Stream());
    return file.Commit();
  }
  testsupport::TempDir dir_;
};

TEST_F(ReplacementFileTest, KeepsTheOldFilesPermissions) {
  for (mode_t mode : {0600, 0640, 0604, 0755, 0444}) {
    const std::string p = dir_.Write("option" + std::to_string(mode) + ".sav", "old");
    ASSERT_EQ(::chmod(p.c_str(), mode), 0);
    ASSERT_TRUE(Save(p, "new")) << std::oct << mode;
    EXPECT_EQ(ReadAll(p), "new");
    EXPECT_EQ(ModeOf(p) & 07777, mode) << std::oct << mode;
    EXPECT_TRUE(S_ISREG(ModeOf(p)));
  }
  // A new file gets the usual mode for new files.
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(Save(Path("fresh.sav"), "x"));
  ::umask(mask);
  EXPECT_EQ(ModeOf(Path("fresh.sav")) & 07777, 0644u);
}

TEST_F(ReplacementFileTest, WritesThroughSymbolicLinksToTheTarget) {
  fs::create_directories(dir_.path() / "real");
  const std::string target = dir_.Write("real/option.sav", "old");
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  struct Case {
    const char* link;
    std::string to;
  };
  const Case cases[] = {
      {"relative.sav", "real/option.sav"},
      {"absolute.sav", target},
      {"chain.sav", "relative.sav"},  // a link to a link
  };
  int n = 0;
  for (const Case& c : cases) {
    ASSERT_EQ(::symlink(c.to.c_str(), Path(c.link).c_str()), 0);
    const std::string text = "saved " + std::to_string(++n);
    ASSERT_TRUE(Save(Path(c.link), text)) << c.link;
    EXPECT_TRUE(S_ISLNK(ModeOf(Path(c.link)))) << c.link << " is no longer a link";
    EXPECT_EQ(ReadAll(target), text) << c.link;
    EXPECT_EQ(ModeOf(target) & 07777, 0600u) << c.link;
  }
  // A link whose target does not exist yet creates the target.
  ASSERT_EQ(::symlink("real/later.sav", Path("dangling.sav").c_str()), 0);
  ASSERT_TRUE(Save(Path("dangling.sav"), "first"));
  EXPECT_TRUE(S_ISLNK(ModeOf(Path("dangling.sav"))));
  EXPECT_EQ(ReadAll((dir_.path() / "real/later.sav").string()), "first");
  EXPECT_TRUE(TempsIn(dir_.path() / "real").empty());
  EXPECT_TRUE(TempsIn(dir_.path()).empty());
}

TEST_F(ReplacementFileTest, OddThingsInPlaceOfTheFileOrItsTemporaryFile) {
  for (OddFile kind : testsupport::kOddFiles) {
    SCOPED_TRACE(testsupport::OddFileName(kind));
    testsupport::TempDir dir;
    const std::string p = (dir.path() / "option.sav").string();
    // The temporary file name of p that this process's second writer from
    // now would take: "<p>.<pid>.<n>.tmp", n counting up.
    std::string second;
    {
      port::ReplacementFile probe;
      ASSERT_TRUE(probe.Open(p));
      const std::string name = probe.TempPath();
      const size_t serial = name.rfind('.', name.size() - 5) + 1;
      second =
          name.substr(0, serial) + std::to_string(std::stoul(name.substr(serial)) + 2) + ".tmp";
    }
    std::vector<std::string> pipes;
    if (kind == OddFile::Fifo) pipes = {p, second, p + ".tmp"};
    if (kind == OddFile::FifoLink) pipes = {p + ".pipe", second + ".pipe", p + ".tmp.pipe"};
    testsupport::PipeWatchdog watchdog(pipes);

    // In place of the file: a link to a device, pipe or nothing is replaced
    // by the new file and the device is never written; a folder stays and
    // the save fails.
    ASSERT_TRUE(testsupport::MakeOddFile(p, kind));
    const bool saved = Save(p, "new");
    if (kind == OddFile::Folder) {
      EXPECT_FALSE(saved);
      EXPECT_TRUE(fs::is_directory(p));
    } else {
      EXPECT_TRUE(saved);
      EXPECT_TRUE(S_ISREG(ModeOf(p)));
      EXPECT_EQ(ReadAll(p), "new");
    }
    EXPECT_TRUE(TempsIn(dir.path()).empty());

    // In place of the temporary file the writer would take: never written
    // through nor removed; the writer takes the next name. What stands at
    // the name every writer once shared is no one's now and stays too.
    fs::remove_all(p);
    dir.Write("option.sav", "old");
    ASSERT_TRUE(testsupport::MakeOddFile(second, kind));
    ASSERT_TRUE(testsupport::MakeOddFile(p + ".tmp", kind));
    const mode_t odd = ModeOf(second);
    EXPECT_TRUE(Save(p, "newer"));
    EXPECT_EQ(ReadAll(p), "newer");
    EXPECT_EQ(ModeOf(second), odd);
    EXPECT_EQ(ModeOf(p + ".tmp"), odd);
    EXPECT_EQ(TempsIn(dir.path()).size(), 2u);
    EXPECT_FALSE(watchdog.Fired()) << "the save blocked on a named pipe";
  }
}

TEST_F(ReplacementFileTest, SyncsTheFileBeforeTheRenameAndTheFolderAfter) {
  fs::create_directories(dir_.path() / "save");
  const std::string p = dir_.Write("save/option.sav", "old");
  port::ReplacementFile file;
  ASSERT_TRUE(file.Open(p));
  std::fputs("new", file.Stream());
  g_syncs.clear();
  g_recordSyncs = true;
  const bool ok = file.Commit();
  g_recordSyncs = false;
  ASSERT_TRUE(ok);
  ASSERT_EQ(g_syncs.size(), 2u);
  EXPECT_FALSE(g_syncs[0].folder);
  EXPECT_EQ(g_syncs[0].inode, InodeOf(p));  // the new file, now in place
  EXPECT_TRUE(g_syncs[1].folder);
  EXPECT_EQ(g_syncs[1].inode, InodeOf((dir_.path() / "save").string()));

  // A discarded or failed file syncs nothing and leaves the old file.
  ASSERT_TRUE(file.Open(p));
  std::fputs("lost", file.Stream());
  g_syncs.clear();
  g_recordSyncs = true;
  EXPECT_FALSE(file.Commit(false));
  ASSERT_TRUE(file.Open(p));
  file.Discard();
  g_recordSyncs = false;
  EXPECT_TRUE(g_syncs.empty());
  EXPECT_EQ(ReadAll(p), "new");
  EXPECT_TRUE(TempsIn(dir_.path() / "save").empty());
  EXPECT_FALSE(file.Commit());  // nothing open
}

}  // namespace
