// Several writers of one save file at once, in one process or several: each
// commit puts one writer's whole file in place, the last to commit wins, and
// a writer's file in progress is never taken by another.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "port/file.h"
#include "support/odd_files.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ReadAll;

// The temporary-looking names in a folder.
std::set<std::string> Temps(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".tmp") names.insert(e.path().filename().string());
  return names;
}

// A process id that was just in use and no longer is.
pid_t DeadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

// A writer's whole file: far beyond the stream's buffer, so a half written
// file is on disk in part.
std::string Content(char writer) {
  std::string s = std::string("writer ") + writer + "\n";
  for (int i = 0; s.size() < 96 * 1024; ++i) s += std::string(1, writer) + std::to_string(i) + ",";
  return s + "end\n";
}

enum class Op { Open, WriteHalf, WriteRest, Commit, Discard };
struct Step {
  char writer;
  Op op;
};
struct Script {
  const char* name;
  std::vector<Step> steps;
};

TEST(ReplacementWriters, EveryCommitPutsOneWritersWholeFileInPlace) {
  using enum Op;
  const Script scripts[] = {
      {"A opens, B opens, A commits, then B",
       {{'A', Open},
        {'B', Open},
        {'A', WriteHalf},
        {'B', WriteHalf},
        {'A', WriteRest},
        {'A', Commit},
        {'B', WriteRest},
        {'B', Commit}}},
      {"A opens, B opens, B commits, then A",
       {{'A', Open},
        {'B', Open},
        {'A', WriteHalf},
        {'A', WriteRest},
        {'B', WriteHalf},
        {'B', WriteRest},
        {'B', Commit},
        {'A', Commit}}},
      {"B opens after A wrote half; A commits first",
       {{'A', Open},
        {'A', WriteHalf},
        {'B', Open},
        {'B', WriteHalf},
        {'B', WriteRest},
        {'A', WriteRest},
        {'A', Commit},
        {'B', Commit}}},
      {"A never commits while B and C do",
       {{'A', Open},
        {'A', WriteHalf},
        {'B', Open},
        {'B', WriteHalf},
        {'B', WriteRest},
        {'B', Commit},
        {'C', Open},
        {'A', WriteRest},
        {'C', WriteHalf},
        {'C', WriteRest},
        {'C', Commit},
        {'A', Discard}}},
      {"A outlives B's and C's saves and commits last",
       {{'A', Open},
        {'B', Open},
        {'B', WriteHalf},
        {'B', WriteRest},
        {'B', Commit},
        {'C', Open},
        {'C', WriteHalf},
        {'A', WriteHalf},
        {'C', WriteRest},
        {'C', Commit},
        {'A', WriteRest},
        {'A', Commit}}},
      {"A gives up after B opened; B commits",
       {{'A', Open},
        {'B', Open},
        {'A', WriteHalf},
        {'B', WriteHalf},
        {'A', Discard},
        {'B', WriteRest},
        {'B', Commit}}},
  };
  for (const Script& script : scripts) {
    SCOPED_TRACE(script.name);
    testsupport::TempDir dir;
    const std::string target = dir.Write("save/option.sav", "old\n");
    std::map<char, std::unique_ptr<port::ReplacementFile>> writers;
    std::string expected = "old\n";
    for (const Step& step : script.steps) {
      SCOPED_TRACE(std::string(1, step.writer) + " step " + std::to_string(int(step.op)));
      auto& w = writers[step.writer];
      const std::string content = Content(step.writer);
      const size_t half = content.size() / 2;
      switch (step.op) {
        case Op::Open:
          w = std::make_unique<port::ReplacementFile>();
          ASSERT_TRUE(w->Open(target));
          // Beside the target, so the rename stays within one file system.
          EXPECT_EQ(fs::path(w->TempPath()).parent_path(), fs::path(target).parent_path());
          break;
        case Op::WriteHalf:
          ASSERT_EQ(std::fwrite(content.data(), 1, half, w->Stream()), half);
          break;
        case Op::WriteRest:
          ASSERT_EQ(std::fwrite(content.data() + half, 1, content.size() - half, w->Stream()),
                    content.size() - half);
          break;
        case Op::Commit:
          EXPECT_TRUE(w->Commit());
          expected = content;
          break;
        case Op::Discard:
          w->Discard();
          break;
      }
      // Whole at every step: the old file or the last committed writer's.
      ASSERT_EQ(ReadAll(target), expected);
    }
    EXPECT_TRUE(Temps(dir.path() / "save").empty());
  }
}

TEST(ReplacementWriters, AWriterWhoseFileWasRemovedReportsNoSave) {
  testsupport::TempDir dir;
  const std::string target = dir.Write("option.sav", "old\n");
  port::ReplacementFile a;
  ASSERT_TRUE(a.Open(target));
  std::fputs("new\n", a.Stream());
  ASSERT_EQ(::unlink(a.TempPath().c_str()), 0);
  EXPECT_FALSE(a.Commit());
  EXPECT_EQ(ReadAll(target), "old\n");
}

TEST(ReplacementWriters, RemovesOnlyTheFilesOfWritersThatDied) {
  testsupport::TempDir dir;
  const std::string target = dir.Write("save/option.sav", "old\n");
  const fs::path save = dir.path() / "save";

  // A writer killed half way through its save.
  const pid_t killed = ::fork();
  ASSERT_GE(killed, 0);
  if (killed == 0) {
    port::ReplacementFile w;
    if (!w.Open(target)) ::_exit(1);
    std::fputs("half a sa", w.Stream());
    std::fflush(w.Stream());
    ::kill(::getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(killed, &status, 0), killed);
  ASSERT_TRUE(WIFSIGNALED(status));
  const std::set<std::string> left = Temps(save);
  ASSERT_EQ(left.size(), 1u);
  const std::string killedFile = *left.begin();
  ASSERT_EQ(killedFile.rfind("option.sav." + std::to_string(killed) + ".", 0), 0u) << killedFile;
  EXPECT_EQ(ReadAll((save / killedFile).string()), "half a sa");

  // Files that stay: a live process's; a dead process id whose file is still
  // locked (a writer in another pid namespace or on another machine); what a
  // writer never makes under a dead writer's name (links, pipes, folders);
  // names of other files or of no writer.
  const std::string dead = std::to_string(DeadPid());
  const std::string live = std::to_string(::getppid());
  const std::string held = dir.Write("save/option.sav." + dead + ".0.tmp", "held");
  const int heldFd = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(heldFd, 0);
  ASSERT_EQ(::flock(heldFd, LOCK_EX), 0);
  dir.Write("save/option.sav." + live + ".3.tmp", "live");
  for (const std::string& name : std::vector<std::string>{
           "option.sav.tmp", "normal_ranking.sav." + dead + ".0.tmp", "option.sav..0.tmp",
           "option.sav.x" + dead + ".0.tmp", "option.sav." + dead + ".tmp",
           "option.sav." + dead + ".0.0.tmp", "xoption.sav." + dead + ".0.tmp"})
    dir.Write(fs::path("save") / name, "other");
  const testsupport::OddFile odd[] = {testsupport::OddFile::Folder, testsupport::OddFile::Fifo,
                                      testsupport::OddFile::DevNullLink,
                                      testsupport::OddFile::LinkLoop};
  int n = 1;
  for (testsupport::OddFile kind : odd)
    ASSERT_TRUE(testsupport::MakeOddFile(
        (save / ("option.sav." + dead + "." + std::to_string(n++) + ".tmp")).string(), kind));
  std::set<std::string> staying = Temps(save);
  staying.erase(killedFile);

  port::ReplacementFile w;
  ASSERT_TRUE(w.Open(target));
  std::fputs("new\n", w.Stream());
  ASSERT_TRUE(w.Commit());
  EXPECT_EQ(ReadAll(target), "new\n");
  EXPECT_EQ(Temps(save), staying);
  EXPECT_EQ(ReadAll(held), "held");
  ::close(heldFd);
  // Unlocked now and its process gone: the next writer removes it.
  ASSERT_TRUE(w.Open(target));
  w.Discard();
  staying.erase("option.sav." + dead + ".0.tmp");
  EXPECT_EQ(Temps(save), staying);
}

// A writer whose process id says nothing of it (in another pid namespace, or
// on another machine sharing the folder): here the process that opened the
// save has ended and the one it handed the file to writes on. Its lock alone
// keeps its file from another writer's cleaning, and it commits.
TEST(ReplacementWriters, AWriterWhoseProcessIdIsGoneKeepsItsFileByItsLock) {
  testsupport::TempDir dir;
  const std::string target = dir.Write("save/option.sav", "old\n");
  const fs::path save = dir.path() / "save";
  int go[2], verdict[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(verdict), 0);
  const pid_t opener = ::fork();
  ASSERT_GE(opener, 0);
  if (opener == 0) {
    port::ReplacementFile w;
    if (!w.Open(target) || std::fputs("half", w.Stream()) < 0 || std::fflush(w.Stream()) != 0)
      ::_exit(1);
    const pid_t heir = ::fork();
    if (heir != 0) ::_exit(heir > 0 ? 0 : 1);
    ::close(go[1]);
    ::close(verdict[0]);
    // Told to go on, or the test is gone (end of file): then discarded.
    char c = 0;
    const bool ok =
        ::read(go[0], &c, 1) == 1 && std::fputs(" and the rest\n", w.Stream()) >= 0 && w.Commit();
    w.Discard();
    const char answer = ok ? 'y' : 'n';
    ::_exit(::write(verdict[1], &answer, 1) == 1 ? 0 : 1);
  }
  ::close(go[0]);
  ::close(verdict[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(opener, &status, 0), opener);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::set<std::string> held = Temps(save);
  ASSERT_EQ(held.size(), 1u);
  ASSERT_EQ(held.begin()->rfind("option.sav." + std::to_string(opener) + ".", 0), 0u);

  port::ReplacementFile other;
  ASSERT_TRUE(other.Open(target));
  std::set<std::string> left = Temps(save);
  left.erase(fs::path(other.TempPath()).filename().string());
  EXPECT_EQ(left, held);
  other.Discard();

  ASSERT_EQ(::write(go[1], "g", 1), 1);
  // The heir answers, or ends and closes the pipe; a generous deadline in
  // case it hangs.
  pollfd answer{verdict[0], POLLIN, 0};
  char got = 0;
  if (::poll(&answer, 1, 60'000) == 1) {
    EXPECT_EQ(::read(verdict[0], &got, 1), 1);
  }
  ::close(go[1]);
  ::close(verdict[0]);
  EXPECT_EQ(got, 'y') << "the heir's commit failed";
  EXPECT_EQ(ReadAll(target), "half and the rest\n");
  EXPECT_TRUE(Temps(save).empty());
}

TEST(ReplacementWriters, ProcessesSavingTogetherLeaveOneWholeFile) {
  testsupport::TempDir dir;
  const std::string target = dir.Write("save/normal_ranking.sav", "old\n");
  constexpr int kWriters = 3, kSaves = 60;
  auto content = [](int writer, int save) {
    return "writer " + std::to_string(writer) + " save " + std::to_string(save) + "\n" +
           std::string(20000 + 1000 * writer + save, static_cast<char>('a' + writer)) + "end\n";
  };
  std::vector<pid_t> pids;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failed = 0;
      for (int save = 0; save < kSaves; ++save) {
        port::ReplacementFile w;
        const std::string text = content(writer, save);
        if (!w.Open(target) ||
            std::fwrite(text.data(), 1, text.size(), w.Stream()) != text.size() || !w.Commit())
          ++failed;
      }
      ::_exit(failed);
    }
    pids.push_back(pid);
  }
  // Read while they write: always one whole file.
  int running = kWriters, reads = 0;
  while (running > 0) {
    const std::string now = ReadAll(target);
    ++reads;
    if (now != "old\n") {
      int writer = -1, save = -1;
      ASSERT_EQ(std::sscanf(now.c_str(), "writer %d save %d", &writer, &save), 2)
          << now.size() << " bytes";
      ASSERT_EQ(now, content(writer, save)) << "read " << reads;
    }
    running = 0;
    for (pid_t& pid : pids)
      if (pid > 0) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
          EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
              << "a writer's saves failed: " << WEXITSTATUS(status);
          pid = 0;
        } else {
          ++running;
        }
      }
  }
  // The last save of one of them.
  int writer = -1, save = -1;
  const std::string last = ReadAll(target);
  ASSERT_EQ(std::sscanf(last.c_str(), "writer %d save %d", &writer, &save), 2);
  EXPECT_EQ(save, kSaves - 1);
  EXPECT_EQ(last, content(writer, save));
  EXPECT_TRUE(Temps(dir.path() / "save").empty());
}

}  // namespace
