#include "world/KvFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/hostile_files.h"
#include "support/odd_files.h"
#include "support/temp_dir.h"
#include "support/waiting.h"

namespace fs = std::filesystem;

namespace {

class KvFileTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseKvFile(); }
  std::string Path(const char* name) const { return (dir_.path() / name).string(); }
  std::string Write(const char* name, const std::string& bytes) const {
    return dir_.Write(name, bytes);
  }
  std::string Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // True when no temporary file is left beside `path`.
  static bool NoTempsBeside(const std::string& path) {
    for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
      if (e.path().extension() == ".tmp") return false;
    return true;
  }
  testsupport::TempDir dir_;
};

}  // namespace

TEST_F(KvFileTest, ReadsValuesInOrderWhateverTheKeys) {
  const std::string p = Write("a.sav", "A=12\r\nB=7\r\n");
  ASSERT_TRUE(OpenKvFile(p.c_str(), "r+t"));
  int32_t a = -1, b = -1;
  ReadKvInt(&a);
  ReadKvInt(&b);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 7);
  EXPECT_TRUE(CloseKvFile());
  EXPECT_EQ(g_kvFile, nullptr);

  // Same values as floats; LF line ends and unrelated keys read alike.
  const std::string q = Write("b.arg", "misspelt=12\nother key=7\nf=1.5\ng=-3\nh=2e1\n");
  ASSERT_TRUE(OpenKvFile(q.c_str(), "r+b"));
  std::vector<float> f(5);
  for (float& v : f) ReadKvFloat(&v);
  EXPECT_EQ(f, (std::vector<float>{12, 7, 1.5f, -3, 20}));
}

TEST_F(KvFileTest, EndOfFileLeavesValuesAlone) {
  // Values missing at the end, a key with no '=', a '=' with nothing after.
  for (const char* body : {"A=5\r\n", "A=5\r\nB", "A=5\r\nB=", "A=5"}) {
    const std::string p = Write("short.sav", body);
    ASSERT_TRUE(OpenKvFile(p.c_str(), "r+t"));
    int32_t a = -1, b = 99, c = 77;
    float d = 4.5f;
    // Each read says whether it found a value: a reader can tell a file
    // that ends early from one that holds the old value.
    EXPECT_TRUE(ReadKvInt(&a)) << body;
    EXPECT_FALSE(ReadKvInt(&b)) << body;
    EXPECT_FALSE(ReadKvInt(&c)) << body;
    EXPECT_FALSE(ReadKvFloat(&d)) << body;
    EXPECT_EQ(a, 5) << body;
    EXPECT_EQ(b, 99) << body;
    EXPECT_EQ(c, 77) << body;
    EXPECT_EQ(d, 4.5f) << body;
    CloseKvFile();
  }
}

TEST_F(KvFileTest, MissingEmptyAndGarbageFiles) {
  int32_t v = 42;
  float f = 2.5f;
  EXPECT_FALSE(OpenKvFile(Path("none.sav").c_str(), "r+t"));
  EXPECT_EQ(g_kvFile, nullptr);
  EXPECT_FALSE(ReadKvInt(&v));  // no file: nothing read
  EXPECT_FALSE(ReadKvFloat(&f));
  EXPECT_EQ(v, 42);
  EXPECT_EQ(f, 2.5f);
  EXPECT_FALSE(OpenKvFile(dir_.path().c_str(), "r+t"));  // a directory
  EXPECT_FALSE(OpenKvFile(nullptr, "r"));

  ASSERT_TRUE(OpenKvFile(Write("empty.sav", "").c_str(), "r+t"));
  ReadKvInt(&v);
  EXPECT_EQ(v, 42);
  CloseKvFile();

  // Binary junk without any '=' ends at end of file.
  std::string junk(100000, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 131) % 251 + 1);
  for (char& c : junk)
    if (c == '=') c = 'x';
  ASSERT_TRUE(OpenKvFile(Write("junk.sav", junk).c_str(), "r+t"));
  ReadKvInt(&v);
  EXPECT_EQ(v, 42);
  CloseKvFile();

  // Text that is not a number converts to 0; out-of-range numbers saturate.
  ASSERT_TRUE(OpenKvFile(
      Write("bad.sav", "a=abc\nb=\nc=99999999999999\nd=nan\ne=0x10\nf=inf\ng=1e99\nh=\x83\x6c\n")
          .c_str(),
      "r+t"));
  int32_t ints[3] = {1, 1, 1};
  float floats[5] = {1, 1, 1, 1, 1};
  for (int32_t& i : ints) ReadKvInt(&i);
  for (float& x : floats) ReadKvFloat(&x);
  EXPECT_EQ(std::vector<int32_t>(ints, ints + 3), (std::vector<int32_t>{0, 0, INT32_MAX}));
  EXPECT_EQ(std::vector<float>(floats, floats + 3),
            (std::vector<float>{0, 0, 0}));  // nan, hex, inf
  EXPECT_TRUE(std::isinf(floats[3]));
  EXPECT_EQ(floats[4], 0.0f);
}

TEST_F(KvFileTest, LongValuesReadFirst49Characters) {
  // 49 digits, then more on the same line: the rest is skipped up to the next '='.
  std::string body = "A=" + std::string(45, ' ') + "1234" + "5678=9\r\nB=6\r\n";
  ASSERT_TRUE(OpenKvFile(Write("long.sav", body).c_str(), "r+t"));
  int32_t a = 0, b = 0, c = 0;
  ReadKvInt(&a);
  ReadKvInt(&b);
  ReadKvInt(&c);
  EXPECT_EQ(a, 1234);  // only the first 49 characters count
  EXPECT_EQ(b, 9);     // the '=' inside the long line's rest
  EXPECT_EQ(c, 6);
  CloseKvFile();

  // Exactly 49 characters followed by CR LF, then the next line.
  body = "A=" + std::string(47, ' ') + "42\r\nB=8\r\n";
  ASSERT_TRUE(OpenKvFile(Write("49.sav", body).c_str(), "r+t"));
  ReadKvInt(&a);
  ReadKvInt(&b);
  EXPECT_EQ(a, 42);
  EXPECT_EQ(b, 8);
}

TEST_F(KvFileTest, WritesShiftJisKeysWithCrLfAndReplacesOnClose) {
  const std::string p = Path("option.sav");
  { std::ofstream(p, std::ios::binary) << "old=1\r\n"; }
  ASSERT_TRUE(OpenKvFile(p.c_str(), "w+t"));
  // The old file stays intact until the close.
  EXPECT_EQ(Read(p), "old=1\r\n");
  WriteKvInt("\x83\x6c\x81\x5b\x83\x80", 10);  // Shift-JIS bytes, kept as they are
  WriteKvInt("vol", -500);
  ASSERT_TRUE(CloseKvFile());
  EXPECT_EQ(Read(p), "\x83\x6c\x81\x5b\x83\x80=10\r\nvol=-500\r\n");
  EXPECT_TRUE(NoTempsBeside(p));

  // It reads back in order.
  ASSERT_TRUE(OpenKvFile(p.c_str(), "r+t"));
  int32_t a = 0, b = 0;
  ReadKvInt(&a);
  ReadKvInt(&b);
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, -500);
  CloseKvFile();

  // Binary mode writes plain LF.
  ASSERT_TRUE(OpenKvFile(Path("plain.arg").c_str(), "w+b"));
  WriteKvInt("n", 3);
  CloseKvFile();
  EXPECT_EQ(Read(Path("plain.arg")), "n=3\n");

  // No file open: nothing happens.
  WriteKvInt("x", 1);
  EXPECT_FALSE(CloseKvFile());
}

TEST_F(KvFileTest, FailedWriteKeepsTheOldFile) {
  // A save folder that does not exist: the open fails, nothing is created.
  EXPECT_FALSE(OpenKvFile(Path("missing/option.sav").c_str(), "w+t"));
  EXPECT_EQ(g_kvFile, nullptr);

  // A full disk (a file size limit here): every line past the limit fails to
  // reach it, the close reports failure and the previous save survives.
  const std::string p = Write("rank.sav", "score=100\r\n");
  {
    testsupport::ScopedFileSizeLimit limit(64);
    ASSERT_TRUE(OpenKvFile(p.c_str(), "w+t"));
    for (int i = 0; i < 1000; ++i) WriteKvInt("score", i);
    EXPECT_FALSE(CloseKvFile());
  }
  EXPECT_EQ(Read(p), "score=100\r\n");
  EXPECT_TRUE(NoTempsBeside(p));
}

TEST_F(KvFileTest, OpeningAgainClosesTheFirstFile) {
  const std::string a = Write("a.sav", "x=1\n");
  const std::string b = Write("b.sav", "y=2\n");
  ASSERT_TRUE(OpenKvFile(Path("w.sav").c_str(), "w+t"));
  WriteKvInt("k", 5);
  ASSERT_TRUE(OpenKvFile(a.c_str(), "r+t"));  // commits the pending write
  EXPECT_EQ(Read(Path("w.sav")), "k=5\r\n");
  ASSERT_TRUE(OpenKvFile(b.c_str(), "r+t"));
  int32_t v = 0;
  ReadKvInt(&v);
  EXPECT_EQ(v, 2);
  // A failed open leaves no file open.
  EXPECT_FALSE(OpenKvFile(Path("nope").c_str(), "r+t"));
  EXPECT_EQ(g_kvFile, nullptr);
}

TEST_F(KvFileTest, PipesFoldersAndDevicesReadAsMissingAtOnce) {
  std::vector<std::string> pipes;
  std::vector<std::string> paths;
  for (testsupport::OddFile kind : testsupport::kOddFiles) {
    const std::string p = Path(("odd" + std::to_string(paths.size()) + ".sav").c_str());
    ASSERT_TRUE(testsupport::MakeOddFile(p, kind)) << testsupport::OddFileName(kind);
    if (kind == testsupport::OddFile::Fifo) pipes.push_back(p);
    if (kind == testsupport::OddFile::FifoLink) pipes.push_back(p + ".pipe");
    paths.push_back(p);
  }
  testsupport::PipeWatchdog watchdog(pipes);
  testsupport::HangGuard guard(std::chrono::seconds(60));
  for (const std::string& p : paths) {
    guard.Doing("opening " + p);
    const uint64_t read = testsupport::BytesReadSoFar();
    EXPECT_FALSE(OpenKvFile(p.c_str(), "r+t")) << p;
    EXPECT_EQ(g_kvFile, nullptr);
    EXPECT_LT(testsupport::BytesReadSoFar() - read, 64u << 10) << p << " was read";
    int32_t v = 7;
    ReadKvInt(&v);
    EXPECT_EQ(v, 7);
  }
  EXPECT_FALSE(watchdog.Fired()) << "the open blocked on a named pipe";
  // Modes that neither read nor write are refused.
  EXPECT_FALSE(OpenKvFile(Write("a.sav", "x=1\n").c_str(), "a+t"));
}

TEST_F(KvFileTest, SavingKeepsPermissionsAndWritesThroughALink) {
  fs::create_directories(dir_.path() / "home");
  const std::string real = Write("home/option.sav", "mode=0\r\n");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  const std::string link = Path("option.sav");
  ASSERT_EQ(::symlink("home/option.sav", link.c_str()), 0);

  ASSERT_TRUE(OpenKvFile(link.c_str(), "w+t"));
  WriteKvInt("mode", 1);
  ASSERT_TRUE(CloseKvFile());

  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Read(real), "mode=1\r\n");
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(NoTempsBeside(real));
  ASSERT_TRUE(OpenKvFile(link.c_str(), "r+t"));
  int32_t mode = 0;
  ReadKvInt(&mode);
  EXPECT_EQ(mode, 1);
}
