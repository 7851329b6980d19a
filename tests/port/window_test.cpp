// The window's events, sizes, clock and text conversion.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "port/text_encoding.h"
#include "port/window.h"
#include "port/window_sdl.h"
#include "support/scoped_env.h"

namespace {

TEST(WindowTest, ExactClientSizeAndEventMapping) {
  testsupport::ScopedEnv driver("SDL_VIDEODRIVER", "offscreen", false);
  std::string error;
  ASSERT_TRUE(port::InitVideo(&error)) << error;
  port::Window* w = port::CreateMainWindow("Pomelvane", 640, 480, false, &error);
  ASSERT_NE(w, nullptr) << error;
  int cw = 0, ch = 0;
  port::GetWindowClientSize(w, &cw, &ch);
  EXPECT_EQ(cw, 640);
  EXPECT_EQ(ch, 480);
  EXPECT_FALSE(port::IsFullScreen(w));
  // A sizing border and a maximise box; full screen keeps its size.
  EXPECT_NE(SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_RESIZABLE, 0u);
  port::Window* full = port::CreateMainWindow("Pomelvane", 640, 480, true, &error);
  ASSERT_NE(full, nullptr) << error;
  EXPECT_EQ(SDL_GetWindowFlags(full->sdl) & SDL_WINDOW_RESIZABLE, 0u);
  port::DestroyMainWindow(full);
  port::ShowMainWindow(w);
  port::WindowEvent e;
  while (port::PollWindowEvent(&e)) {
  }

  const std::pair<uint32_t, port::WindowEventKind> events[] = {
      {0, port::WindowEventKind::Quit},
      {SDL_WINDOWEVENT_CLOSE, port::WindowEventKind::Close},
      {SDL_WINDOWEVENT_FOCUS_LOST, port::WindowEventKind::FocusLost},
      {SDL_WINDOWEVENT_SIZE_CHANGED, port::WindowEventKind::Resized}};
  for (const auto& [windowEvent, kind] : events) {
    SDL_Event event{};
    event.type = windowEvent ? SDL_WINDOWEVENT : SDL_QUIT;
    event.window.event = static_cast<uint8_t>(windowEvent);
    SDL_PushEvent(&event);
  }
  for (const auto& [windowEvent, kind] : events) {
    ASSERT_TRUE(port::PollWindowEvent(&e));
    EXPECT_EQ(e.kind, kind) << windowEvent;
  }
  EXPECT_FALSE(port::PollWindowEvent(&e));

  port::DestroyMainWindow(w);
  port::ShutdownVideo();
  // Without video nothing is polled and no window is made.
  EXPECT_FALSE(port::PollWindowEvent(&e));
  EXPECT_EQ(port::CreateMainWindow("x", 640, 480, false, &error), nullptr);
}

TEST(WindowTest, ClockAdvancesAndMessageBoxWritesToStandardError) {
  EXPECT_GT(port::PerformanceFrequency(), 0u);
  const uint64_t a = port::PerformanceCounter();
  const uint32_t t = port::TickCountMs();
  port::SleepMs(2);
  EXPECT_GT(port::PerformanceCounter(), a);
  EXPECT_GE(port::TickCountMs(), t);

  testsupport::ScopedEnv driver("SDL_VIDEODRIVER", "offscreen", false);
  testing::internal::CaptureStderr();
  port::ShowMessageBox(nullptr, "\x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e\xb8\x94\x73", "ERROR");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: 初期化に失敗\n");
}

TEST(TextEncodingTest, ShiftJisBecomesUtf8AndBadBytesDoNotStopIt) {
  EXPECT_EQ(port::SjisToUtf8("abc"), "abc");
  EXPECT_EQ(port::SjisToUtf8("\x83\x47\x83\x89\x81\x5b"), "エラー");
  EXPECT_EQ(port::SjisToUtf8("\xb1"), "ｱ");  // half-width katakana
  EXPECT_EQ(port::SjisToUtf8(""), "");
  // A lead byte with no trail, then more text.
  const std::string cut = port::SjisToUtf8(std::string_view("A\x83", 2));
  EXPECT_EQ(cut.substr(0, 1), "A");
  const std::string bad = port::SjisToUtf8(
      "\xff"
      "B");
  EXPECT_EQ(bad.back(), 'B');
}

}  // namespace
