// Placement files: the data set's files of every stage spawn their kinds on
// the floor of their field and stand the player at the start; damaged,
// truncated and hostile files give what they validly hold and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "actors/Enemy.h"
#include "actors/Zako1.h"
#include "actors/Zako2.h"
#include "actors/Zako3.h"
#include "actors/Zako4.h"
#include "app/Application.h"
#include "support/hostile_files.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"

namespace {

using stagetest::StageFixture;

// The placement kinds whose classes exist, and what they spawn. Each enemy
// class adds its line here when it takes its row in the enemy class table.
const std::map<int32_t, int32_t> kBuiltKinds = {{kAppearZako1, kCharacterZako1},
                                                {kAppearZako2, kCharacterZako2},
                                                {kAppearZako3, kCharacterZako3},
                                                {kAppearZako4, kCharacterZako4}};

int32_t SpawnedKindOf(int32_t appearKind) {
  if (kBuiltKinds.count(appearKind)) return kBuiltKinds.at(appearKind);
  const bool known = appearKind == kAppearZako2 || appearKind == kAppearZako3 ||
                     appearKind == kAppearZako4 || appearKind == kAppearBoss1 ||
                     appearKind == kAppearBoss2 || appearKind == kAppearBoss3 ||
                     appearKind >= kAppearPlayer;
  return known ? -1 : kCharacterZako1;  // every other number is a zako1
}

int CountCharacters(int32_t kind) {
  int n = 0;
  for (size_t i = 0; i < g_characters.Size(); ++i) {
    const Character* c = g_characters.At(i);
    if (c && c->IsAlive() && c->GetKind() == kind) ++n;
  }
  return n;
}

std::string Arg(const std::vector<AppearRecord>& records) {
  std::string s = "count=" + std::to_string(records.size()) + "\r\n";
  for (const AppearRecord& r : records) {
    s += "x=" + std::to_string(r.x) + "\r\ny=" + std::to_string(r.y) +
         "\r\nz=" + std::to_string(r.z) + "\r\nheading=" + std::to_string(r.param) +
         "\r\nkind=" + std::to_string(r.kind) + "\r\n";
  }
  return s;
}

bool Same(const AppearRecord& a, const AppearRecord& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.kind == b.kind && a.param == b.param;
}

class AppearDataOnStage : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Zako1>();
    LoadEnemyClass<Zako2>();
    LoadEnemyClass<Zako3>();
    LoadEnemyClass<Zako4>();
  }
  std::string File(const std::string& name, const std::string& text) {
    return dir_.Write(name, text);
  }

  Application app;  // the application's placement routines, on records of their own

 private:
  testsupport::TempDir dir_;
};

class StageFilesOnTheirFields : public AppearDataOnStage,
                                public ::testing::WithParamInterface<int> {
 protected:
  StageFilesOnTheirFields() {
    const stagetest::FieldFiles fields[] = {stagetest::kStage1Field, stagetest::kStage2Field,
                                            stagetest::kStage3Field};
    setup.field = fields[GetParam() - 1];
  }
};

// Every file a stage reads: the player's start, each area and the boss, in
// order; each spawns its built kinds on the field's floor, inside the walls
// and off the blocks, where the player can reach them.
TEST_P(StageFilesOnTheirFields, EachFileOfTheStageSpawnsItsKindsOnTheFloor) {
  const int stage = GetParam();
  const int areas = stage == 1 ? 2 : 4;
  const std::string base =
      "AppearData/stage" + std::to_string(stage) + "/stage" + std::to_string(stage);

  app.options.viewType = 1;
  player.sokai = 1;
  app.LoadAppearData((base + "_player.arg").c_str());
  ASSERT_EQ(app.appearRecords.size(), 1u);
  ASSERT_EQ(app.appearRecords[0].kind, kAppearPlayer);
  app.SpawnAppearData();
  EXPECT_EQ(player.sokai, 0);
  EXPECT_EQ(player.viewType, 1);
  EXPECT_FLOAT_EQ(player.position.x, app.appearRecords[0].x);
  EXPECT_FLOAT_EQ(player.position.z, app.appearRecords[0].z);
  EXPECT_FLOAT_EQ(player.angle.y, app.appearRecords[0].param);
  Step(60);
  EXPECT_FLOAT_EQ(player.position.y, stagetest::kStandY);

  std::vector<std::string> files;
  for (int a = 1; a <= areas; ++a) files.push_back(base + "_erea" + std::to_string(a) + ".arg");
  files.push_back(base + "_boss.arg");
  size_t previousCount = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    g_characters.Clear();
    app.LoadAppearData(file.c_str());
    ASSERT_FALSE(app.appearRecords.empty());
    std::map<int32_t, int> want;
    for (const AppearRecord& r : app.appearRecords) {
      const int32_t k = SpawnedKindOf(r.kind);
      if (k >= 0) ++want[k];
    }
    app.SpawnAppearData();
    Step(90);
    int alive = 0;
    for (const auto& [kind, n] : want) {
      EXPECT_EQ(CountCharacters(kind), n) << "kind " << kind;
      alive += n;
    }
    EXPECT_EQ(g_characters.CountAlive(), alive);
    for (size_t i = 0; i < g_characters.Size(); ++i) {
      const Character* c = g_characters.At(i);
      // The jumpers may be in the air: the ground under them is the floor.
      const auto* e = dynamic_cast<const Enemy*>(c);
      ASSERT_NE(e, nullptr);
      EXPECT_NEAR(e->shadowHeight, stagetest::kFloorY + 0.05f, 1e-4f)
          << "over the floor, not a block";
      if (!c->airborne) {
        EXPECT_FLOAT_EQ(c->position.y, stagetest::kStandY);
      }
      EXPECT_LT(std::fabs(c->position.x), 38.0f);
      EXPECT_LT(std::fabs(c->position.z), 38.0f);
    }
    // The areas grow; each has a handful of enemies, the boss file one.
    if (file.find("_boss") == std::string::npos) {
      EXPECT_GE(app.appearRecords.size(), 4u);
      EXPECT_LE(app.appearRecords.size(), 16u);
      EXPECT_GT(app.appearRecords.size(), previousCount);
      previousCount = app.appearRecords.size();
    } else {
      EXPECT_EQ(app.appearRecords.size(), 1u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Stages, StageFilesOnTheirFields, ::testing::Values(1, 2, 3));

TEST_F(AppearDataOnStage, EveryUnlistedKindIsAZako1AndRecordsStayUntilTheNextLoad) {
  const std::vector<AppearRecord> records = {
      {-6.0f, 2.0f, 6.0f, kAppearZako1, 0.0f},
      {-3.0f, 2.0f, 6.0f, 5, 0.0f},
      {0.0f, 2.0f, 6.0f, 999, 0.0f},
      {3.0f, 2.0f, 6.0f, 0, 0.0f},
      {6.0f, 2.0f, 6.0f, -7, 0.0f},
      {0.0f, 2.0f, 12.0f, kAppearBattlePlayer1, 0.0f},
      {3.0f, 2.0f, 12.0f, kAppearBattlePlayer4, 90.0f},
  };
  app.LoadAppearData(File("kinds.arg", Arg(records)).c_str());
  ASSERT_EQ(app.appearRecords.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) EXPECT_TRUE(Same(app.appearRecords[i], records[i]));
  app.SpawnAppearData();
  EXPECT_EQ(CountCharacters(kCharacterZako1), 5);
  // Battle players 1 and 4 stand where the file puts them with their own
  // ids; the others keep their state.
  const BattlePlayer& first = app.battlePlayers[0];
  const BattlePlayer& fourth = app.battlePlayers[3];
  EXPECT_EQ(first.alive, 1);
  EXPECT_EQ(first.id, kOwnerBattlePlayer1);
  EXPECT_EQ(first.position, (port::Vec3{0.0f, 2.0f, 12.0f}));
  EXPECT_EQ(fourth.alive, 1);
  EXPECT_EQ(fourth.id, kOwnerBattlePlayer1 + 3);
  EXPECT_EQ(fourth.position, (port::Vec3{3.0f, 2.0f, 12.0f}));
  EXPECT_EQ(fourth.angle.y, 90.0f);
  EXPECT_EQ(app.battlePlayers[1].alive, 0);
  EXPECT_EQ(app.battlePlayers[2].alive, 0);
  // Enemies face a random way; the heading of the file is the players'.
  // Spawning does not use the records up: twice is twice as many.
  app.SpawnAppearData();
  EXPECT_EQ(CountCharacters(kCharacterZako1), 10);
  EXPECT_EQ(app.appearRecords.size(), records.size());
  // The next file replaces them.
  app.LoadAppearData(File("one.arg", Arg({{1.0f, 2.0f, 3.0f, kAppearZako1, 45.0f}})).c_str());
  ASSERT_EQ(app.appearRecords.size(), 1u);
  EXPECT_EQ(app.appearRecords[0].param, 45.0f);
}

// The file's keys are never read, only the order of the values: any label
// or none, text without '=' skipped, LF or CR LF, a last line without end.
TEST_F(AppearDataOnStage, KeysAreIgnoredAndOnlyTheOrderOfTheValuesCounts) {
  const std::string text =
      "how many=2\nthis line has no equals sign\n=1.5\n\xe6\x97\xa5=2\r\nz=-3.25\n"
      "angle=90\nwhat=1000\nq=4\nq=0.5\nq\n=6\nq=180 degrees\nq=7";
  app.LoadAppearData(File("keys.arg", text).c_str());
  ASSERT_EQ(app.appearRecords.size(), 2u);
  EXPECT_TRUE(Same(app.appearRecords[0], {1.5f, 2.0f, -3.25f, kAppearPlayer, 90.0f}));
  EXPECT_TRUE(Same(app.appearRecords[1], {4.0f, 0.5f, 6.0f, 7, 180.0f}));
}

// Damaged files give the records they hold whole and in range, nothing else.
TEST_F(AppearDataOnStage, DamagedOrHostileFilesGiveOnlyWhatTheyValidlyHold) {
  const AppearRecord a{1.0f, 2.0f, 3.0f, kAppearZako1, 0.0f};
  const AppearRecord b{-4.0f, 2.0f, 5.0f, 999, 10.0f};
  const std::string two = Arg({a, b});
  const std::string body = two.substr(two.find("\r\n") + 2);  // the records without the count
  std::string many = "count=5000\n";
  for (int i = 0; i < 1200; ++i) many += "x=1\ny=2\nz=3\nh=0\nk=1\n";
  struct Case {
    const char* name;
    std::string text;  // written to the file; empty: no file at all
    std::vector<AppearRecord> want;
    size_t wantCount = SIZE_MAX;  // checked instead of want when set
  };
  const Case cases[] = {
      {"missing file", "", {}},
      {"empty file", "\n", {}},
      {"count zero", "count=0\n" + body, {}},
      {"negative count", "count=-5\n" + body, {}},
      {"count not a number", "count=many\n" + body, {}},
      {"ends inside the second record", two.substr(0, two.rfind("z=")), {a}},
      {"ends on a key without its value", two.substr(0, two.rfind("=")), {a}},
      {"count larger than the records", "count=2000000000\n" + body, {a, b}},
      {"count past the limit", many, {}, kMaxAppearRecords},
      {"not a number or beyond any field",
       "count=5\n"
       "x=nan\ny=2\nz=3\nh=0\nk=1\n"
       "x=1e39\ny=2\nz=3\nh=0\nk=1\n"
       "x=1\ny=-2e7\nz=3\nh=0\nk=1\n"
       "x=1\ny=2\nz=3\nh=1e30\nk=1\n"
       "x=1\ny=2\nz=3\nh=0\nk=1\n",
       {{0.0f, 2.0f, 3.0f, 1, 0.0f}, {1.0f, 2.0f, 3.0f, 1, 0.0f}}},
      {"binary garbage", std::string("\x00\x01=\xff\xfe=\x80=\n=9\x00=", 14), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    app.appearRecords.assign(3, a);  // what an earlier file left
    const std::string path =
        c.text.empty() ? std::string("/no/such/folder/x.arg") : File("bad.arg", c.text);
    app.LoadAppearData(path.c_str());
    if (c.wantCount != SIZE_MAX) {
      EXPECT_EQ(app.appearRecords.size(), c.wantCount);
      continue;
    }
    ASSERT_EQ(app.appearRecords.size(), c.want.size());
    for (size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_TRUE(Same(app.appearRecords[i], c.want[i])) << i;
    }
    g_characters.Clear();
    app.SpawnAppearData();
    EXPECT_EQ(static_cast<size_t>(g_characters.CountAlive()), c.want.size());
  }
  // A file far larger than any placement file is refused from its size: a
  // gibibyte of nothing before a good record gives no records, at once,
  // and takes no memory.
  const std::string huge = File("huge.arg", "");
  ASSERT_TRUE(testsupport::MakeSparseFile(huge, uint64_t{1} << 30, two));
  const testsupport::Resident before = testsupport::ResidentOf();
  ::testing::internal::CaptureStderr();
  const uint64_t read = testsupport::BytesReadSoFar();
  app.LoadAppearData(huge.c_str());
  EXPECT_LT(testsupport::BytesReadSoFar() - read, 64u << 10);  // nothing of it scanned
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(app.appearRecords.empty());
  // The reader's refusal, with the size, and at most the stage's own note.
  EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 2) << err;
  EXPECT_NE(err.find("huge.arg: not read: 1073741824 bytes"), std::string::npos) << err;
  EXPECT_LT(testsupport::ResidentOf().nowKb, before.nowKb + 50 * 1024);
  // A folder is no placement file.
  app.LoadAppearData(POMELVANE_RUN_DIR);
  EXPECT_TRUE(app.appearRecords.empty());
  app.LoadAppearData(nullptr);
  EXPECT_TRUE(app.appearRecords.empty());
}

// An enemy placed off the field could never be reached: it is not spawned.
// One placed under the floor stands on the floor above.
TEST_F(AppearDataOnStage, AnEnemyOffTheFieldIsLeftOutOneUnderTheFloorStandsOnIt) {
  app.LoadAppearData(File("places.arg", Arg({{500.0f, 2.0f, 0.0f, kAppearZako1, 0.0f},
                                             {0.0f, -20.0f, 8.0f, kAppearZako1, 0.0f},
                                             {0.0f, 900.0f, -8.0f, kAppearZako1, 0.0f}}))
                         .c_str());
  ASSERT_EQ(app.appearRecords.size(), 3u);
  app.SpawnAppearData();
  ASSERT_EQ(g_characters.CountAlive(), 2);
  Step(600);
  for (size_t i = 0; i < g_characters.Size(); ++i) {
    const Character* c = g_characters.At(i);
    EXPECT_FLOAT_EQ(c->position.y, stagetest::kStandY);
  }
}

}  // namespace
