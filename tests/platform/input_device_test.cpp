#include <gtest/gtest.h>

#include <SDL.h>

#include <set>

#include "platform/InputDevice.h"
#include "port/input.h"

namespace {

int ForwardDevice(const PadDeviceInstance* device, void* context) {
  return static_cast<InputDevice*>(context)->OnEnumDevice(device, context);
}
int ForwardAxis(const PadAxisInstance* axis, void* context) {
  return static_cast<InputDevice*>(context)->OnEnumAxis(axis, context);
}

constexpr int kUp = kPadUp, kDown = kPadDown, kLeft = kPadLeft, kRight = kPadRight;

class PadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(port::StartInput());
    if (port::AttachedPadCount() > 0) GTEST_SKIP() << "a real joystick is attached";
  }
  void TearDown() override {
    input.Release();
    for (int i = port::AttachedPadCount() - 1; i >= 0; --i) port::DetachVirtualPad(i);
    port::StopInput();
  }
  // Virtual pads with two axes and every button the game can address.
  void Attach(int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(port::AttachVirtualPad(2, port::kPadButtonCount), i);
  }
  bool Init() { return input.InitJoysticks(nullptr, nullptr, ForwardDevice, ForwardAxis); }
  bool Directions(int pad, bool up, bool down, bool left, bool right) {
    return input.IsPadDirection(pad, kUp) == up && input.IsPadDirection(pad, kDown) == down &&
           input.IsPadDirection(pad, kLeft) == left && input.IsPadDirection(pad, kRight) == right;
  }
  // The pad on which a press of button b of device `device` shows; -1 on
  // none, 100 on several.
  int PressedOn(int device, int b) {
    EXPECT_TRUE(port::SetVirtualPadButton(device, b, true));
    input.PollJoysticks();
    int on = -1;
    for (int pad = 0; pad < 4; ++pad)
      if (input.IsPadButton(pad, b)) on = on == -1 ? pad : 100;
    EXPECT_TRUE(port::SetVirtualPadButton(device, b, false));
    input.PollJoysticks();
    return on;
  }

  InputDevice input;
};

TEST(PadAxisScale, EndsReachFullRangeExactly) {
  EXPECT_EQ(port::ScalePadAxis(32767), 1000);
  EXPECT_EQ(port::ScalePadAxis(-32768), -1000);
  EXPECT_EQ(port::ScalePadAxis(-32767), -1000);
  EXPECT_EQ(port::ScalePadAxis(0), 0);
  EXPECT_EQ(port::ScalePadAxis(16384), 500);
  EXPECT_EQ(port::ScalePadAxis(-16384), -500);
  EXPECT_LT(port::ScalePadAxis(32734), 1000);  // just short of the end is not full
}

TEST_F(PadTest, OnlyFullDeflectionCountsAsDirection) {
  Attach(1);
  ASSERT_TRUE(Init());
  EXPECT_EQ(input.padsPresent, 1);

  struct Case {
    int16_t x, y;
    bool up, down, left, right;
  };
  const Case cases[] = {
      {0, 0, false, false, false, false},           {16384, 0, false, false, false, false},
      {-16384, -16384, false, false, false, false}, {32767, 0, false, false, false, true},
      {-32768, 0, false, false, true, false},       {0, -32768, true, false, false, false},
      {0, 32767, false, true, false, false},        {32767, 32767, false, true, false, true},
      {32700, -32700, false, false, false, false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(port::SetVirtualPadAxis(0, 0, c.x));
    ASSERT_TRUE(port::SetVirtualPadAxis(0, 1, c.y));
    ASSERT_TRUE(input.PollJoysticks());
    EXPECT_TRUE(Directions(0, c.up, c.down, c.left, c.right)) << "x " << c.x << " y " << c.y;
  }
}

TEST_F(PadTest, ButtonsFollowThePadAndTheirNumber) {
  Attach(2);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(port::SetVirtualPadButton(1, 5, true));
  ASSERT_TRUE(port::SetVirtualPadButton(0, 127, true));
  ASSERT_TRUE(input.PollJoysticks());
  EXPECT_TRUE(input.IsPadButton(1, 5));
  EXPECT_FALSE(input.IsPadButton(0, 5));
  EXPECT_TRUE(input.IsPadButton(0, 127));
  ASSERT_TRUE(port::SetVirtualPadButton(1, 5, false));
  ASSERT_TRUE(input.PollJoysticks());
  EXPECT_FALSE(input.IsPadButton(1, 5));
}

TEST_F(PadTest, FifthPadIsNotOpenedAndIndicesFollowEnumeration) {
  Attach(5);
  ASSERT_TRUE(Init());
  EXPECT_EQ(input.pads.size(), 4u);
  EXPECT_EQ(input.padStates.size(), 4u);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(port::SetVirtualPadButton(i, i, true));
  ASSERT_TRUE(input.PollJoysticks());
  for (int pad = 0; pad < 4; ++pad) {
    for (int button = 0; button < 4; ++button)
      EXPECT_EQ(input.IsPadButton(pad, button), pad == button);
  }
  EXPECT_FALSE(input.IsPadButton(4, 4));
}

TEST_F(PadTest, PadsDirectionsAndButtonsOutOfRangeAnswerFalse) {
  Attach(1);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(port::SetVirtualPadAxis(0, 0, 32767));
  for (int b = 0; b < port::kPadButtonCount; ++b)
    ASSERT_TRUE(port::SetVirtualPadButton(0, b, true));
  ASSERT_TRUE(input.PollJoysticks());
  ASSERT_TRUE(input.IsPadDirection(0, kRight));
  for (int pad : {-1, 1, 4, 1000}) {
    for (int d = 0; d < 4; ++d) EXPECT_FALSE(input.IsPadDirection(pad, d)) << pad;
    EXPECT_FALSE(input.IsPadButton(pad, 0)) << pad;
  }
  for (int d : {-1, 4, 100}) EXPECT_FALSE(input.IsPadDirection(0, d)) << d;
  EXPECT_TRUE(input.IsPadButton(0, 127));
  for (int b : {-1, 128, 224, 100000}) EXPECT_FALSE(input.IsPadButton(0, b)) << b;
}

TEST_F(PadTest, NoPadsAtAll) {
  EXPECT_FALSE(Init());
  EXPECT_EQ(input.padsPresent, 0);
  EXPECT_FALSE(input.PollJoysticks());
  EXPECT_FALSE(input.IsPadDirection(0, kUp));
  EXPECT_FALSE(input.IsPadButton(0, 0));
}

TEST_F(PadTest, UnpluggedPadReadsReleasedAndOthersKeepWorking) {
  Attach(2);
  ASSERT_TRUE(Init());
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(port::SetVirtualPadAxis(i, 0, 32767));
    ASSERT_TRUE(port::SetVirtualPadButton(i, 3, true));
  }
  ASSERT_TRUE(input.PollJoysticks());
  ASSERT_TRUE(input.IsPadDirection(0, kRight));

  ASSERT_TRUE(port::DetachVirtualPad(0));  // the second pad is now index 0
  ASSERT_TRUE(port::SetVirtualPadAxis(0, 0, -32768));
  EXPECT_FALSE(input.PollJoysticks());
  EXPECT_FALSE(input.IsPadDirection(0, kRight));
  EXPECT_FALSE(input.IsPadButton(0, 3));
  EXPECT_TRUE(input.IsPadDirection(1, kLeft));
  EXPECT_TRUE(input.IsPadButton(1, 3));
  EXPECT_FALSE(input.PollJoysticks());  // and again: nothing waits for the lost pad
}

// Pads unplugged and plugged back in any order, with a stranger among them:
// each device goes back to the pad it was by its model, and among pads of
// one model in order; the stranger and a spare of a known model plugged in
// while nothing is missing stay unused, said once.
TEST_F(PadTest, PadsPluggedBackServeTheirOwnPlaceAndNoOtherIsTaken) {
  constexpr int kA = 1, kB = 2, kStranger = 9;
  for (int model : {kA, kB, kA}) ASSERT_GE(port::AttachVirtualPad(2, 16, model), 0);
  ASSERT_TRUE(Init());
  ASSERT_EQ(input.GetPadCount(), 3);

  for (int i = 2; i >= 0; --i) ASSERT_TRUE(port::DetachVirtualPad(i));
  EXPECT_FALSE(input.PollJoysticks());
  EXPECT_EQ(input.GetPadCount(), 0);
  EXPECT_EQ(input.padsPresent, 1);

  testing::internal::CaptureStderr();
  ASSERT_EQ(port::AttachVirtualPad(2, 16, kStranger), 0);
  input.PollJoysticks();
  input.PollJoysticks();
  EXPECT_FALSE(port::SetVirtualPadButton(0, 3, true)) << "only a joystick opened takes buttons";
  EXPECT_EQ(input.GetPadCount(), 0);
  // Plugged back the other way round: B, then both A.
  for (int model : {kB, kA, kA}) ASSERT_GE(port::AttachVirtualPad(2, 16, model), 0);
  EXPECT_EQ(input.GetPadCount(), 0) << "counted from the next poll";
  EXPECT_TRUE(input.PollJoysticks()) << "taken up before they are read";
  EXPECT_EQ(input.GetPadCount(), 3);
  EXPECT_EQ(PressedOn(1, 4), 1) << "B is pad 1 again";
  EXPECT_EQ(PressedOn(2, 5), 0);
  EXPECT_EQ(PressedOn(3, 6), 2);
  EXPECT_FALSE(port::SetVirtualPadButton(0, 7, true));
  ASSERT_TRUE(port::SetVirtualPadAxis(3, 1, -32768));
  input.PollJoysticks();
  EXPECT_TRUE(input.IsPadDirection(2, kUp));

  // A spare A while every pad is there stays unused; when pad 0 goes, the
  // spare is an A all the same and serves pad 0.
  ASSERT_EQ(port::AttachVirtualPad(2, 16, kA), 4);
  input.PollJoysticks();
  EXPECT_FALSE(port::SetVirtualPadButton(4, 8, true));
  EXPECT_EQ(input.GetPadCount(), 3);
  ASSERT_TRUE(port::DetachVirtualPad(2));  // the devices after it move down one
  EXPECT_TRUE(input.PollJoysticks()) << "taken up before the read";
  EXPECT_EQ(input.GetPadCount(), 3);
  EXPECT_EQ(PressedOn(3, 9), 0);
  const std::string said = testing::internal::GetCapturedStderr();
  const auto lines = [&](const std::string& what) {
    int n = 0;
    for (size_t at = said.find(what); at != std::string::npos; at = said.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(lines("after the start not used"), 2) << said;
  EXPECT_EQ(lines("\n"), 2) << said;
}

// Pads of one model on device paths of their own: a device goes back to the
// pad of its path before any pad is served by order, whatever order the
// devices come back in; a device on a new path serves a pad whose device
// has not come back.
TEST_F(PadTest, PadsOfOneModelPluggedBackGoFirstToThePadOfTheirPath) {
  constexpr int kA = 1;
  const char* const paths[] = {"/dev/input/event20", "/dev/input/event21", "/dev/input/event22"};
  for (const char* path : paths) ASSERT_GE(port::AttachVirtualPad(2, 16, kA, path), 0);
  ASSERT_TRUE(Init());
  for (int i = 2; i >= 0; --i) ASSERT_TRUE(port::DetachVirtualPad(i));
  input.PollJoysticks();

  ASSERT_EQ(port::AttachVirtualPad(2, 16, kA, paths[2]), 0);
  input.PollJoysticks();
  EXPECT_EQ(PressedOn(0, 1), 2) << "not the first pad free";
  EXPECT_EQ(input.GetPadCount(), 1);
  ASSERT_EQ(port::AttachVirtualPad(2, 16, kA, "/dev/input/event30"), 1);
  ASSERT_EQ(port::AttachVirtualPad(2, 16, kA, paths[0]), 2);
  EXPECT_TRUE(input.PollJoysticks());
  EXPECT_EQ(PressedOn(2, 2), 0);
  EXPECT_EQ(PressedOn(1, 3), 1) << "the new path: the pad left";
  EXPECT_EQ(PressedOn(0, 4), 2);
  EXPECT_EQ(input.GetPadCount(), 3);
}

// Unplugging and plugging back hundreds of times: every joystick let go is
// closed, the pads keep their places and their number.
TEST_F(PadTest, PluggingBackAgainAndAgainLeaksNothing) {
  Attach(2);
  ASSERT_TRUE(Init());
  for (int round = 0; round < 300; ++round) {
    SDL_JoystickID gone[2];
    for (int i = 0; i < 2; ++i) gone[i] = SDL_JoystickGetDeviceInstanceID(i);
    ASSERT_TRUE(port::DetachVirtualPad(1));
    ASSERT_TRUE(port::DetachVirtualPad(0));
    if (round % 2 == 0) {
      EXPECT_FALSE(input.PollJoysticks());
      ASSERT_EQ(input.GetPadCount(), 0);
    }
    Attach(2);
    input.PollJoysticks();
    ASSERT_EQ(input.GetPadCount(), 2) << round;
    for (SDL_JoystickID id : gone) ASSERT_EQ(SDL_JoystickFromInstanceID(id), nullptr) << round;
    ASSERT_TRUE(port::SetVirtualPadButton(round % 2, 1, true));
    ASSERT_TRUE(input.PollJoysticks());
    ASSERT_TRUE(input.IsPadButton(round % 2, 1));
    ASSERT_FALSE(input.IsPadButton(1 - round % 2, 1));
  }
  EXPECT_EQ(input.pads.size(), 2u);
}

TEST_F(PadTest, ReleaseClosesEverythingAndCanRunTwice) {
  Attach(1);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(port::SetVirtualPadButton(0, 0, true));
  ASSERT_TRUE(input.PollJoysticks());
  ASSERT_TRUE(input.IsPadButton(0, 0));
  input.Release();
  input.Release();
  EXPECT_TRUE(input.pads.empty());
  input.PollJoysticks();
  EXPECT_FALSE(input.IsPadButton(0, 0));
  EXPECT_FALSE(input.IsPadDirection(0, kUp));
}

class KeyTest : public ::testing::Test {
 protected:
  void TearDown() override { port::ClearTestKeys(); }
  InputDevice input;
};

TEST_F(KeyTest, ForcedKeysAreSeenAfterAPoll) {
  ASSERT_TRUE(input.InitKeyboard(nullptr));
  port::SetTestKey(0x2C, true);         // Z
  port::SetTestKey(0xC8, true);         // up arrow
  EXPECT_FALSE(input.IsKeyDown(0x2C));  // nothing until polled
  ASSERT_TRUE(input.PollKeyboard());
  EXPECT_TRUE(input.IsKeyDown(0x2C));
  EXPECT_TRUE(input.IsKeyDown(0xC8));
  EXPECT_FALSE(input.IsKeyDown(0x2D));
  EXPECT_FALSE(input.IsKeyDown(0x48));  // keypad 8 is not the arrow
  port::SetTestKey(0x2C, false);
  ASSERT_TRUE(input.PollKeyboard());
  EXPECT_FALSE(input.IsKeyDown(0x2C));
  EXPECT_TRUE(input.IsKeyDown(0xC8));
  for (int code : {-1, 256, 1000}) EXPECT_FALSE(input.IsKeyDown(code));
  input.Release();
}

TEST_F(KeyTest, WithoutAKeyboardNoKeyIsEverDown) {
  port::SetTestKey(0x01, true);
  EXPECT_FALSE(input.PollKeyboard());
  EXPECT_FALSE(input.IsKeyDown(0x01));
}

TEST(ScanCodes, GameKeysSitOnTheirPhysicalPositions) {
  const std::pair<int, SDL_Scancode> keys[] = {
      {0x01, SDL_SCANCODE_ESCAPE}, {0x2C, SDL_SCANCODE_Z},     {0x2D, SDL_SCANCODE_X},
      {0x2E, SDL_SCANCODE_C},      {0x3B, SDL_SCANCODE_F1},    {0x58, SDL_SCANCODE_F12},
      {0xC8, SDL_SCANCODE_UP},     {0xCB, SDL_SCANCODE_LEFT},  {0xCD, SDL_SCANCODE_RIGHT},
      {0xD0, SDL_SCANCODE_DOWN},   {-1, SDL_SCANCODE_UNKNOWN}, {256, SDL_SCANCODE_UNKNOWN}};
  for (const auto& [code, sdl] : keys) EXPECT_EQ(port::ScanCodeToSdlScancode(code), sdl) << code;
  const std::pair<int, SDL_Scancode> named[] = {
      {port::kKeyEscape, SDL_SCANCODE_ESCAPE}, {port::kKeyZ, SDL_SCANCODE_Z},
      {port::kKeyX, SDL_SCANCODE_X},           {port::kKeyC, SDL_SCANCODE_C},
      {port::kKeyF1, SDL_SCANCODE_F1},         {port::kKeyF12, SDL_SCANCODE_F12},
      {port::kKeyUp, SDL_SCANCODE_UP},         {port::kKeyLeft, SDL_SCANCODE_LEFT},
      {port::kKeyRight, SDL_SCANCODE_RIGHT},   {port::kKeyDown, SDL_SCANCODE_DOWN}};
  for (const auto& [code, sdl] : named) EXPECT_EQ(port::ScanCodeToSdlScancode(code), sdl) << code;

  // No two scan codes share a key, and the whole main block is there.
  std::set<int> seen;
  int mapped = 0;
  for (int code = 0; code < port::kKeyCount; ++code) {
    const int sdl = port::ScanCodeToSdlScancode(code);
    if (sdl == SDL_SCANCODE_UNKNOWN) continue;
    ++mapped;
    EXPECT_TRUE(seen.insert(sdl).second) << "scan code " << code;
  }
  for (int code = 0x01; code <= 0x53; ++code)
    EXPECT_NE(port::ScanCodeToSdlScancode(code), SDL_SCANCODE_UNKNOWN) << code;
  EXPECT_GT(mapped, 120);
}

}  // namespace

namespace {

TEST(PadShutdown, ReleaseAfterTheLibraryWasShutDownIsSafe) {
  ASSERT_TRUE(port::StartInput());
  if (port::AttachedPadCount() > 0) GTEST_SKIP() << "a real joystick is attached";
  ASSERT_EQ(port::AttachVirtualPad(2, 8), 0);
  InputDevice input;
  ASSERT_TRUE(input.InitJoysticks(nullptr, nullptr, ForwardDevice, ForwardAxis));
  SDL_Quit();  // the program's exit may come first
  EXPECT_FALSE(input.PollJoysticks());
  EXPECT_FALSE(input.IsPadButton(0, 0));
  input.Release();
}

}  // namespace
