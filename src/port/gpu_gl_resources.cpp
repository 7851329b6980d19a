// The resources the OpenGL device hands out: textures, buffers and render
// targets. Each belongs to the context of the device that made it and does
// nothing once that device is gone.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "port/gpu_gl_device.h"
#include "port/gpu_gl_resources.h"

namespace port::gpu::impl {

GLTexture::GLTexture(uint64_t generation, uint32_t w, uint32_t h, uint32_t levels)
    : generation_(generation), width_(w), height_(h), levels_(levels) {
  glGenTextures(1, &name_);
  glBindTexture(GL_TEXTURE_2D, name_);
  for (uint32_t l = 0; l < levels_; ++l) {
    const GLsizei lw = static_cast<GLsizei>(std::max(1u, width_ >> l));
    const GLsizei lh = static_cast<GLsizei>(std::max(1u, height_ >> l));
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), GL_RGBA8, lw, lh, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
  glBindTexture(GL_TEXTURE_2D, 0);
  ForgetTextureBindings();
}

bool GLTexture::Update(uint32_t level, const uint32_t* argb) {
  if (level >= levels_ || !argb || !Alive(generation_)) return false;
  FlushPendingDraws();
  const GLsizei lw = static_cast<GLsizei>(std::max(1u, width_ >> level));
  const GLsizei lh = static_cast<GLsizei>(std::max(1u, height_ >> level));
  glBindTexture(GL_TEXTURE_2D, name_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, lw, lh, GL_BGRA,
                  GL_UNSIGNED_INT_8_8_8_8_REV, argb);
  glBindTexture(GL_TEXTURE_2D, 0);
  ForgetTextureBindings();
  const size_t count = static_cast<size_t>(lw) * static_cast<size_t>(lh);
  const bool opaque = std::all_of(argb, argb + count, [](uint32_t p) { return p >= 0xFF000000u; });
  const uint32_t bit = level < 32 ? 1u << level : 0;
  opaqueLevels_ = opaque ? (opaqueLevels_ | bit) : (opaqueLevels_ & ~bit);
  return true;
}

GLBuffer::~GLBuffer() {
  if (!Alive(generation_)) return;
  glDeleteBuffers(1, &name_);
  ForgetBufferBindings();
}

void GLBuffer::Upload() {
  locked_ = false;
  spans_.clear();
  bounds_.Clear();
  if (!Alive(generation_)) return;
  FlushPendingDraws();
  // Bound on the array target so no vertex array's index binding changes.
  glBindBuffer(GL_ARRAY_BUFFER, name_);
  // Storage of the same size is written in place: a new store would make the
  // driver rebind every vertex array that uses the buffer.
  if (allocated_ && g_current->GetStateFilter()) {
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(data_.size()), data_.data());
  } else {
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data_.size()), data_.data(),
                 GL_STATIC_DRAW);
    allocated_ = true;
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

GLTexture::~GLTexture() {
  if (!Alive(generation_)) return;
  glDeleteTextures(1, &name_);
  ForgetTextureBindings();
}

GLRenderTarget::GLRenderTarget(uint64_t generation, uint32_t w, uint32_t h)
    : generation_(generation), width_(w), height_(h) {
  const GLsizei gw = static_cast<GLsizei>(w), gh = static_cast<GLsizei>(h);
  while (glGetError() != GL_NO_ERROR) {
  }
  texture_ = new GLTexture(generation, w, h, 1);
  glGenRenderbuffers(1, &colour_);
  glBindRenderbuffer(GL_RENDERBUFFER, colour_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, gw, gh);
  glGenRenderbuffers(1, &depth_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, gw, gh);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glGenFramebuffers(1, &drawFbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  complete_ = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glGenFramebuffers(1, &resolveFbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, resolveFbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_->Name(), 0);
  complete_ = complete_ && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  complete_ = complete_ && glGetError() == GL_NO_ERROR;
}

GLRenderTarget::~GLRenderTarget() {
  SafeRelease(texture_);
  if (!Alive(generation_)) return;
  if (drawFbo_) glDeleteFramebuffers(1, &drawFbo_);
  if (resolveFbo_) glDeleteFramebuffers(1, &resolveFbo_);
  if (colour_) glDeleteRenderbuffers(1, &colour_);
  if (depth_) glDeleteRenderbuffers(1, &depth_);
}

void GLRenderTarget::Resolve() {
  if (!Alive(generation_)) return;
  const GLint w = static_cast<GLint>(width_), h = static_cast<GLint>(height_);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFbo_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
  glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  texture_->Drawn();
}

}  // namespace port::gpu::impl
