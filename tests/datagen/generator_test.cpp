// The generator's own guarantees: it writes nowhere but its folder, fails
// loudly, and writes the same bytes on every run.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "datagen/image.h"
#include "datagen/output.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Runs the generator; returns its exit status and what it printed on stderr.
std::pair<int, std::string> RunGenerator(const fs::path& out, const fs::path& errFile) {
  std::string cmd = std::string("'") + POMELVANE_DATAGEN_EXE + "' '" + out.string() + "' '" +
                    POMELVANE_SOURCE_DIR + "' >/dev/null 2>'" + errFile.string() + "'";
  int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(errFile)};
}

}  // namespace

TEST(DataGenerator, AcceptsOnlyPlainRelativePaths) {
  EXPECT_TRUE(datagen::IsSafeRelativePath("Xfile/player/stop.X"));
  EXPECT_TRUE(datagen::IsSafeRelativePath("a..b/c"));
  for (const char* bad : {"", "/etc/passwd", "../x", "Xfile/../../x", "Xfile/..", "a//b", "./a",
                          "a/./b", "a\\b", "C:x", "a/"}) {
    std::string why;
    EXPECT_FALSE(datagen::IsSafeRelativePath(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

TEST(DataGenerator, RefusesToWriteOutsideItsFolder) {
  testsupport::TempDir rootDir, outsideDir;
  const fs::path& root = rootDir.path();
  const fs::path& outside = outsideDir.path();
  datagen::Output out(root);
  for (const char* bad : {"../escape.txt", "/tmp/escape.txt", "a/../../escape.txt"}) {
    try {
      out.Write(bad, std::string_view("x"));
      ADD_FAILURE() << "wrote " << bad;
    } catch (const datagen::GenError& e) {
      EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
  }
  // A link inside the folder that leads out of it is refused as well.
  fs::create_directory_symlink(outside, root / "link");
  EXPECT_THROW(out.Write("link/escape.txt", std::string_view("x")), datagen::GenError);
  EXPECT_FALSE(fs::exists(outside / "escape.txt"));
  EXPECT_FALSE(fs::exists(root.parent_path() / "escape.txt"));
  out.Write("inside/ok.txt", std::string_view("ok"));
  EXPECT_EQ(ReadAll(root / "inside" / "ok.txt"), "ok");
  EXPECT_TRUE(out.Has("inside/ok.txt"));
}

TEST(DataGenerator, MissingFontFailsNamingTheFile) {
  try {
    datagen::TextRenderer text("/nonexistent/fonts/ipag.ttf");
    ADD_FAILURE() << "a missing font was accepted";
  } catch (const datagen::GenError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/fonts/ipag.ttf"), std::string::npos)
        << e.what();
  }
}

TEST(DataGenerator, UnusableOutputFolderFailsLoudly) {
  testsupport::TempDir scratch;
  const fs::path& dir = scratch.path();
  scratch.Write("file", "x");
  auto [code, err] = RunGenerator(dir / "file" / "run", dir / "err.txt");
  EXPECT_NE(code, 0);
  EXPECT_NE(err.find((dir / "file").string()), std::string::npos) << err;
}

// A second run into a fresh folder gives the run folder's bytes exactly.
TEST(DataGenerator, IsDeterministic) {
  testsupport::TempDir scratch;
  const fs::path& dir = scratch.path();
  auto [code, err] = RunGenerator(dir / "run", dir / "err.txt");
  ASSERT_EQ(code, 0) << err;
  size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir / "run")) {
    if (!e.is_regular_file()) continue;
    fs::path rel = fs::relative(e.path(), dir / "run");
    ++files;
    EXPECT_EQ(ReadAll(e.path()), ReadAll(rel)) << rel;
  }
  EXPECT_GT(files, 300u);
}
