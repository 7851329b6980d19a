// The picture's way to the window: the back buffer the device draws into
// (the window's own where it can hold the picture, else the device's), the
// present (a swap, or a copy scaled to the window, then a swap), and the
// read-back of the picture.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "port/gpu_gl_device.h"

namespace port::gpu::impl {

using Keeps = PresentState::Keeps;

// Chooses where the picture is drawn. Mesa's software rasterisers on X or
// offscreen copy on a swap, so the window's back buffer may keep the picture
// and even be it; asked once here, and of the keeping again at the first
// present of an unchanged picture.
void GLDevice::StartPresenting() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const char* video = SDL_GetCurrentVideoDriver();
  const bool software =
      renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe"));
  if (software && video && (!std::strcmp(video, "x11") || !std::strcmp(video, "offscreen")))
    present_.windowKeeps = Keeps::Unknown;
  present_.windowCanHold = WindowCanHoldThePicture();
  present_.intoWindow = present_.windowCanHold;
}

// The whole of a 640 by 480 buffer of the device's own as 0xAARRGGBB, rows
// bottom up as GL has them; it stays bound for reading.
std::vector<uint32_t> GLDevice::ReadRows(GLuint fbo) {
  std::vector<uint32_t> rows(static_cast<size_t>(kBackBufferWidth) * kBackBufferHeight);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glReadPixels(0, 0, kBackBufferWidth, kBackBufferHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               rows.data());
  return rows;
}

// The lower left 640 by 480 of the window's back buffer, as ReadRows gives
// it. Never read straight from the window: after a swap Mesa's software
// drivers learn the window's new size only once a read has been sized by the
// old one, and copy past the end of a smaller buffer. A copy is sized after
// they have looked, so it stays inside the window; whatever the window does
// not cover keeps the fill.
std::vector<uint32_t> GLDevice::ReadWindow(uint32_t fill) {
  if (!context_.probeFbo) {
    glGenRenderbuffers(1, &context_.probeColour);
    glBindRenderbuffer(GL_RENDERBUFFER, context_.probeColour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kBackBufferWidth, kBackBufferHeight);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &context_.probeFbo);
    glBindFramebuffer(GL_FRAMEBUFFER, context_.probeFbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              context_.probeColour);
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, context_.probeFbo);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  const ColorValue c = FromArgb(fill);
  glClearColor(c.r, c.g, c.b, c.a);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, 0, 0, kBackBufferWidth,
                    kBackBufferHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  cache_.gl.valid = false;
  return ReadRows(context_.probeFbo);
}

// Whether the window's back buffer still holds the picture last copied into
// it, now that the picture has not changed: read back and compared once. Asked
// only of Mesa's software rasterisers on X or offscreen, which copy on a swap;
// a chain of buffers flipped on a swap holds older pictures.
bool GLDevice::WindowKeepsBackBuffer() {
  // Read over two fills: a part the window no longer covers keeps the fill,
  // and cannot match the picture both times.
  const std::vector<uint32_t> back = ReadRows(context_.fbo);
  const bool same = ReadWindow(0x00000000u) == back && ReadWindow(0xFFFFFFFFu) == back;
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  const bool failed = glGetError() != GL_NO_ERROR;
  while (glGetError() != GL_NO_ERROR) {
  }
  return !failed && same;
}

// Whether the window's back buffer can be the picture itself: the picture's
// size and format, and kept across a swap. Tried once, on Mesa's software
// rasterisers only, with a nearly black clear swapped and read back: they
// copy on a swap, where a chain of flipped buffers would hand back another.
bool GLDevice::WindowCanHoldThePicture() {
  if (present_.windowKeeps != Keeps::Unknown) return false;
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(context_.window, &dw, &dh);
  if (dw != kBackBufferWidth || dh != kBackBufferHeight) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  GLint bits[5] = {};
  const GLenum sizes[4] = {GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE,
                           GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE,
                           GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE};
  for (int i = 0; i < 4; ++i)
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, sizes[i], &bits[i]);
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH,
                                        GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &bits[4]);
  bool fits = glGetError() == GL_NO_ERROR && bits[0] == 8 && bits[1] == 8 && bits[2] == 8 &&
              bits[3] == 8 && bits[4] >= 24;
  if (fits) {
    constexpr uint32_t kMark = 0xFF010203u;
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(1 / 255.0f, 2 / 255.0f, 3 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(context_.window);
    // A window resized meanwhile leaves the fill, which is not the mark.
    const std::vector<uint32_t> back = ReadWindow(0x00000000u);
    fits = glGetError() == GL_NO_ERROR &&
           std::all_of(back.begin(), back.end(), [](uint32_t p) { return p == kMark; });
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  cache_.gl.valid = false;
  return fits;
}

// The picture from one back buffer into the other, both bottom up in GL's
// terms; without sRGB writes on, nothing is converted. Depth is not carried:
// every frame clears it.
void GLDevice::CopyPicture(GLuint from, GLuint to) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, 0, 0, kBackBufferWidth,
                    kBackBufferHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  cache_.gl.valid = false;
}

bool GLDevice::SetDrawIntoWindow(bool on) {
  on = on && present_.windowCanHold;
  if (on == present_.intoWindow) return present_.intoWindow;
  FlushHeld();
  CopyPicture(BackFbo(), on ? 0 : context_.fbo);
  present_.intoWindow = on;
  // The window shows what it was last given until the next present.
  present_.copiedSerial = 0;
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  return present_.intoWindow;
}

bool GLDevice::Present() {
  FlushHeld();
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(context_.window, &dw, &dh);
  if (present_.intoWindow && (dw != kBackBufferWidth || dh != kBackBufferHeight)) {
    // The window changed size under the picture: from now on it is copied.
    // What was drawn lies in the window's lower left corner.
    SetDrawIntoWindow(false);
    present_.windowCanHold = false;
  }
  if (present_.intoWindow) {
    // Finished before the swap: the offscreen driver's window otherwise
    // keeps hold of every frame's buffers.
    glFinish();
    SDL_GL_SwapWindow(context_.window);
    return true;
  }
  // The picture already in the window's back buffer is presented again as it
  // stands: copying it is most of an idle frame's cost.
  if (present_.copiedSerial == g_pictureSerial && present_.copiedWidth == dw &&
      present_.copiedHeight == dh) {
    if (present_.windowKeeps == Keeps::Unknown && dw == kBackBufferWidth && dh == kBackBufferHeight)
      present_.windowKeeps = WindowKeepsBackBuffer() ? Keeps::Yes : Keeps::No;
    if (present_.windowKeeps == Keeps::Yes) {
      SDL_GL_SwapWindow(context_.window);
      return true;
    }
  }
  present_.copiedSerial = g_pictureSerial;
  present_.copiedWidth = dw;
  present_.copiedHeight = dh;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, context_.fbo);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, dw, dh);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (dw == kBackBufferWidth && dh == kBackBufferHeight) {
    glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, 0, 0, dw, dh, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
  } else if (dw > 0 && dh > 0) {
    // Scaled with the aspect kept; the bars are black.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    int w = dw, h = dw * kBackBufferHeight / kBackBufferWidth;
    if (h > dh) {
      h = dh;
      w = dh * kBackBufferWidth / kBackBufferHeight;
    }
    const int x = (dw - w) / 2, y = (dh - h) / 2;
    glBlitFramebuffer(0, 0, kBackBufferWidth, kBackBufferHeight, x, y, x + w, y + h,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
  }
  SDL_GL_SwapWindow(context_.window);
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  cache_.gl.valid = false;
  return true;
}

std::vector<uint32_t> GLDevice::ReadBackBuffer() {
  FlushHeld();
  const std::vector<uint32_t> rows =
      present_.intoWindow ? ReadWindow(0x00000000u) : ReadRows(context_.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, CurrentFbo());
  // GL's rows run bottom up.
  std::vector<uint32_t> out(rows.size());
  for (int y = 0; y < kBackBufferHeight; ++y)
    std::memcpy(&out[static_cast<size_t>(y) * kBackBufferWidth],
                &rows[static_cast<size_t>(kBackBufferHeight - 1 - y) * kBackBufferWidth],
                sizeof(uint32_t) * kBackBufferWidth);
  return out;
}

// The picture so far is handed to the driver, once for each change.
void GLDevice::Submit() {
  if (present_.submittedSerial == g_pictureSerial) return;
  FlushHeld();
  glFlush();
  present_.submittedSerial = g_pictureSerial;
}

}  // namespace port::gpu::impl
