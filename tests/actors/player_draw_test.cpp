// The stage player on screen, read back from the offscreen device: the figure
// in both draw methods with its flash, the chick while stunned, the enemy
// gauge with its faces, cross and timer, the shots, and a player whose files
// are missing or broken.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "actors/Player1Shots.h"
#include "platform/GraphicsDevice.h"
#include "platform/MathHelpers.h"
#include "port/image.h"
#include "port/input.h"
#include "port/sprite.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/CharacterList.h"
#include "world/ObjectList.h"

namespace {

using gltest::At;
using gltest::Rgb;
using stagetest::StageFixture;

// Where the figure's shirt shows: the camera looks over the head at the
// middle of the picture, the figure stands below it.
constexpr int kBodyX = 320, kBodyY = 360;
// The gauge's bar and frame, and the face beside them.
constexpr int kBarX = 540, kBarY = 18;
constexpr int kFaceX = 431, kFaceY = 19;

class PlayerDraw : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
    Step(60);
  }
  uint32_t CentreWithout() {
    player.alive = 0;
    const uint32_t c = Rgb(DrawFrame(), kBodyX, kBodyY);
    player.alive = 1;
    return c;
  }
  // Pixels that differ between two pictures inside a box.
  static int Differ(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int x0, int y0,
                    int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += Rgb(a, x, y) != Rgb(b, x, y) ? 1 : 0;
    }
    return n;
  }
  // The screen pixel of a world point.
  static std::pair<int, int> ScreenOf(const port::Vec3& p) {
    const port::Vec3 s = ProjectToScreen(port::MatrixTranslation(p.x, p.y, p.z), g_camera.GetView(),
                                         g_camera.GetProjection());
    return {static_cast<int>(s.x), static_cast<int>(s.y)};
  }
};

class PlayerDrawToon : public PlayerDraw {
 protected:
  PlayerDrawToon() { setup.method = 3; }
};

void ExpectFigureAtCentre(PlayerDraw& t, uint32_t without, const std::vector<uint32_t>& with) {
  const uint32_t c = Rgb(with, kBodyX, kBodyY);
  EXPECT_NE(c, without);
  // The shirt is blue.
  EXPECT_GT(gltest::Channel(c, 0), gltest::Channel(c, 16)) << std::hex << c;
}

TEST_F(PlayerDraw, TheFigureStandsBelowTheMiddleOfThePictureAndFlashesWhileInvulnerable) {
  const uint32_t without = CentreWithout();
  const std::vector<uint32_t> picture = DrawFrame();
  ExpectFigureAtCentre(*this, without, picture);

  // Flashing: invulnerable, 2 or more frames left, second half of each 10.
  struct Flash {
    int32_t modeFrame, frames;
    bool magenta;
  };
  for (const Flash f : {Flash{5, 10, true}, Flash{9, 2, true}, Flash{4, 10, false},
                        Flash{5, 1, false}, Flash{15, 0, false}}) {
    SCOPED_TRACE(f.modeFrame * 100 + f.frames);
    player.invulnerable = 1;
    player.modeFrame = f.modeFrame;
    player.invulnerableFrames = f.frames;
    const uint32_t c = Rgb(DrawFrame(), kBodyX, kBodyY);
    EXPECT_EQ(c == 0xFF00FFu, f.magenta) << std::hex << c;
  }
}

TEST_F(PlayerDrawToon, TheToonFigureIsDrawnAndFlashesToo) {
  ASSERT_EQ(player.model.GetMethod(), 3);
  const uint32_t without = CentreWithout();
  ExpectFigureAtCentre(*this, without, DrawFrame());
  player.invulnerable = 1;
  player.modeFrame = 7;
  player.invulnerableFrames = 30;
  EXPECT_EQ(Rgb(DrawFrame(), kBodyX, kBodyY), 0xFF00FFu);
}

// A texture left bound to stage 0 after its owner let it go (as a scene's
// release leaves one): the toon figure binds its ramp there for a moment and
// must hold the old one meanwhile, or binding it back would use it freed.
TEST_F(PlayerDrawToon, ATextureOnlyTheDeviceHoldsSurvivesTheFigure) {
  port::gpu::Texture* held = device->CreateTexture(4, 4, 1);
  ASSERT_NE(held, nullptr);
  device->SetTexture(0, held);
  held->Release();  // the device's reference is the last
  // Under the address sanitizer a freed texture bound back stops the test here.
  player.Draw(g_camera.GetView(), g_camera.GetProjection(), {0.0f, -1.0f, 1.0f, 0.0f});
  device->SetTexture(0, nullptr);
  EXPECT_NE(DrawFrame().size(), 0u);
}

TEST_F(PlayerDraw, AChickCirclesOverTheHeadWhileStunned) {
  const std::vector<uint32_t> awake = DrawFrame();
  player.mode = kPlayerPiyori;
  player.modeFrame = 10;
  const std::vector<uint32_t> stunned = DrawFrame();
  // Over the head only: the figure itself is drawn the same.
  EXPECT_GT(Differ(awake, stunned, 280, 230, 360, 290), 50);
  EXPECT_EQ(Differ(awake, stunned, 0, 300, 640, 480), 0);
  EXPECT_EQ(Differ(awake, stunned, 0, 0, 640, 200), 0);
}

TEST_F(PlayerDraw, TheEnemyGaugeShowsAfterAHitForItsDrawnFrames) {
  const std::vector<uint32_t> none = DrawFrame();
  player.ShowEnemyGauge(kCharacterZako1, 6.0f, 10.0f);
  const std::vector<uint32_t> shown = DrawFrame();
  EXPECT_NE(Rgb(shown, kBarX, kBarY), Rgb(none, kBarX, kBarY));
  EXPECT_NE(Rgb(shown, kFaceX, kFaceY), Rgb(none, kFaceX, kFaceY));
  EXPECT_GT(Differ(none, shown, 400, 0, 640, 40), 2000);
  EXPECT_EQ(Differ(none, shown, 0, 40, 640, 480), 0);

  // 180 drawn frames in all: the 180th still shows it, the 181st does not.
  port::Sprite* sprite = g_graphics.GetSprite();
  sprite->Begin();
  for (int i = 0; i < 178; ++i) player.Draw2D(sprite);
  sprite->End();
  EXPECT_EQ(Rgb(DrawFrame(), kBarX, kBarY), Rgb(shown, kBarX, kBarY));
  EXPECT_EQ(player.gaugeTimer, Player::kGaugeHidden);
  EXPECT_EQ(Differ(none, DrawFrame(), 400, 0, 640, 40), 0);
  // Stepping without drawing does not wear it off.
  player.ShowEnemyGauge(kCharacterZako1, 6.0f, 10.0f);
  Step(500);
  EXPECT_EQ(player.gaugeTimer, 0);
}

TEST_F(PlayerDraw, TheGaugeBarFollowsTheValueAndAKillBlinksACross) {
  const std::vector<uint32_t> none = DrawFrame();
  player.ShowEnemyGauge(kCharacterZako1, 10.0f, 10.0f);
  const std::vector<uint32_t> full = DrawFrame();
  player.ShowEnemyGauge(kCharacterZako1, 1.0f, 10.0f);
  const std::vector<uint32_t> low = DrawFrame();
  EXPECT_NE(Rgb(full, kBarX, kBarY), Rgb(low, kBarX, kBarY));

  // A kill: value 0 from timer 90; the cross shows on timers 90 to 94.
  player.ShowEnemyGauge(kCharacterZako1, 0.0f, 10.0f);
  const std::vector<uint32_t> cross = DrawFrame();  // timer 90
  port::Sprite* sprite = g_graphics.GetSprite();
  sprite->Begin();
  for (int i = 0; i < 4; ++i) player.Draw2D(sprite);
  sprite->End();
  const std::vector<uint32_t> face = DrawFrame();  // timer 95
  EXPECT_GT(Differ(cross, face, 400, 0, 460, 40), 50);
  EXPECT_EQ(Differ(cross, face, 460, 0, 640, 40), 0);

  // A maximum of 0 draws the frame and the face but no bar.
  player.ShowEnemyGauge(kCharacterZako1, 5.0f, 0.0f);
  const std::vector<uint32_t> noMax = DrawFrame();
  EXPECT_GT(Differ(none, noMax, 400, 0, 640, 40), 500);
}

TEST_F(PlayerDraw, EachEnemyKindShowsItsOwnFace) {
  struct Face {
    int32_t kind;
    int32_t sameAs;  // the kind whose face it shares, or 0
  };
  const Face kinds[] = {{kCharacterZako1, 0},
                        {kCharacterZako2, 0},
                        {kCharacterZako3, 0},
                        {kCharacterZako4, 0},
                        {kCharacterBoss1, 0},
                        {kCharacterBoss2, 0},
                        {kCharacterBoss3, 0},
                        {kCharacterZako1b, 1},
                        {7, 1},
                        {-5, 1}};
  std::vector<std::pair<int32_t, std::vector<uint32_t>>> faces;
  for (const Face& f : kinds) {
    player.ShowEnemyGauge(f.kind, 5.0f, 10.0f);
    const std::vector<uint32_t> p = DrawFrame();
    std::vector<uint32_t> box;
    for (int y = 3; y < 35; ++y) {
      for (int x = 415; x < 447; ++x) box.push_back(Rgb(p, x, y));
    }
    faces.push_back({f.sameAs ? f.sameAs : f.kind, box});
  }
  for (size_t i = 0; i < faces.size(); ++i) {
    for (size_t j = i + 1; j < faces.size(); ++j) {
      EXPECT_EQ(faces[i].second == faces[j].second, faces[i].first == faces[j].first)
          << kinds[i].kind << " and " << kinds[j].kind;
    }
  }
}

TEST_F(PlayerDraw, EveryShotIsSeenWhileAliveAndGoneWhenDead) {
  struct Case {
    const char* name;
    int32_t type;
  };
  const Case cases[] = {{"tama", kObjectTama},
                        {"steering ball", kObjectPlayer1LargeTama1},
                        {"large ball", kObjectPlayer1LargeTama2},
                        {"sokai shot", kObjectPlayer1LargeTama3}};
  const port::Vec3 at{2.0f, 1.6f, 5.0f};
  player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
  Step(30);
  const std::vector<uint32_t> empty = DrawFrame();
  const auto [sx, sy] = ScreenOf(at);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerShot* s = nullptr;
    switch (c.type) {
      case kObjectTama:
        s = Tama::Spawn({.at = at, .heading = 0.0f, .owner = kOwnerPlayer});
        break;
      case kObjectPlayer1LargeTama1:
        s = Player1LargeTama1::Spawn(
            {.at = at, .heading = 0.0f, .owner = kOwnerPlayer, .battleMode = 0});
        break;
      case kObjectPlayer1LargeTama2:
        s = Player1LargeTama2::Spawn({.at = at, .heading = 0.0f, .owner = kOwnerPlayer});
        break;
      default:
        s = Player1LargeTama3::Spawn({.at = at, .heading = 0.0f, .owner = kOwnerPlayer});
        break;
    }
    ASSERT_NE(s, nullptr);
    s->frameCounter = 3;
    EXPECT_NE(Rgb(DrawFrame(), sx, sy), Rgb(empty, sx, sy));
    s->alive = 0;
    EXPECT_EQ(Differ(DrawFrame(), empty, 0, 0, 640, 480), 0);
  }
  // The sokai shot's picture is blended by its alpha: clear round the glow.
  port::Image picture;
  ASSERT_TRUE(port::LoadImageFile("texture/player1_largetama3.png", &picture));
  EXPECT_EQ(picture.argb.front() >> 24, 0u);
  EXPECT_GT(picture.argb[picture.argb.size() / 2 + picture.width / 2] >> 24, 200u);
}

// A player folder made from the data set's, with some files changed.
class BrokenFiles {
 public:
  // Copies Xfile/player, Xfile/hiyoko.X and the gauge textures.
  BrokenFiles() {
    namespace fs = std::filesystem;
    for (const char* dir : {"Xfile/player", "texture/battle"}) {
      fs::create_directories(dir_.path() / dir);
      fs::copy(fs::path(POMELVANE_RUN_DIR) / dir, dir_.path() / dir, fs::copy_options::recursive);
    }
    fs::copy_file(fs::path(POMELVANE_RUN_DIR) / "Xfile/hiyoko.X", dir_.path() / "Xfile/hiyoko.X");
  }
  static std::string Read(const std::string& relative) {
    std::ifstream in(std::string(POMELVANE_RUN_DIR) + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& relative, const std::string& bytes) { dir_.Write(relative, bytes); }
  void Remove(const std::string& relative) { std::filesystem::remove(dir_.path() / relative); }
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  testsupport::TempDir dir_;
};

// Loads g_player from a folder and runs it through every mode and draw.
void LoadFrom(StageFixture& t, Player& player, const std::filesystem::path& folder) {
  player.Release();
  player.tracks.clear();
  {
    testsupport::ScopedCwd cwd(folder);
    player.Load(2, &g_camera, g_characters.GetToonEffect(), g_characters.GetToonRamp());
  }
  player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
}

TEST_F(PlayerDraw, MissingOrBrokenFilesLeaveTheGameRunning) {
  const uint32_t without = CentreWithout();
  struct Case {
    const char* name;
    int drawn;  // the figure still shows: 1 yes, 0 no, -1 not asked
    void (*spoil)(BrokenFiles&);
  };
  const Case cases[] = {
      {"no files at all", 0,
       [](BrokenFiles& f) { std::filesystem::remove_all(f.path() / "Xfile"); }},
      {"a truncated model", 0,
       [](BrokenFiles& f) {
         const std::string m = BrokenFiles::Read("Xfile/player/stop.X");
         f.Write("Xfile/player/stop.X", m.substr(0, m.size() / 2));
       }},
      // A static mesh for a figure: drawn whole, without a head for the chick.
      {"a model without the named frames", -1,
       [](BrokenFiles& f) { f.Write("Xfile/player/stop.X", BrokenFiles::Read("Xfile/hiyoko.X")); }},
      {"broken and extra animations", 1,
       [](BrokenFiles& f) {
         const std::string run = BrokenFiles::Read("Xfile/player/run.X");
         f.Write("Xfile/player/run.X", run.substr(0, run.size() / 3));
         // Two sets in one file: the tracks after it must not overrun.
         const std::string walk = BrokenFiles::Read("Xfile/player/walk.X");
         const std::string piyori = BrokenFiles::Read("Xfile/player/piyori.X");
         f.Write("Xfile/player/walk.X", walk + piyori.substr(piyori.find('\n') + 1));
         f.Remove("Xfile/player/timeup.X");
       }},
      {"no gauge pictures", 1,
       [](BrokenFiles& f) { std::filesystem::remove_all(f.path() / "texture"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BrokenFiles files;
    c.spoil(files);
    LoadFrom(*this, player, files.path());
    EXPECT_EQ(player.tracks.size(), static_cast<size_t>(Player::kTrackCount));
    // Through the modes with the keys held, drawing now and then.
    Hold(port::kKeyUp);
    Hold(port::kKeyZ);
    Step(120);
    LetAll();
    Step(2);
    player.ShowEnemyGauge(kCharacterBoss2, 0.0f, 6.0f);
    for (int pose = 0; pose < 3; ++pose) {
      if (pose == 0) player.SetTimeUp();
      if (pose == 1) player.SetGameOver();
      if (pose == 2) player.SetClear();
      Step(30);
      DrawFrame();
    }
    player.mode = kPlayerPiyori;
    Step(30);
    player.Place(0.0f, stagetest::kStandY, 0.0f, 0.0f);
    Step(60);
    const std::vector<uint32_t> p = DrawFrame();
    if (c.drawn >= 0) {
      EXPECT_EQ(Rgb(p, kBodyX, kBodyY) != without, c.drawn == 1);
    }
  }
}

}  // namespace
