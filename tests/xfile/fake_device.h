#pragma once
// A device that records the calls meshes make, for tests without OpenGL.
#include <cstring>
#include <string>
#include <vector>

#include "port/gpu.h"

namespace xtest {

class FakeBuffer : public port::gpu::Buffer {
 public:
  FakeBuffer(uint32_t size, int* uploads) : data_(size), uploads_(uploads) {}
  uint32_t Size() const override { return static_cast<uint32_t>(data_.size()); }
  void* Lock() override { return data_.data(); }
  void Unlock() override { ++*uploads_; }
  const void* Data() const override { return data_.data(); }

 private:
  std::vector<uint8_t> data_;
  int* uploads_;
};

class FakeDevice : public port::gpu::Device {
 public:
  struct Draw {
    int32_t baseVertex;
    uint32_t minIndex, numVertices, startIndex, primitiveCount;
  };
  std::vector<Draw> draws;
  std::vector<FakeBuffer*> created;
  int uploads = 0;
  port::gpu::Buffer* stream = nullptr;
  port::gpu::Buffer* indices = nullptr;
  uint32_t stride = 0;
  port::gpu::VertexLayout layout;

  const port::gpu::Caps& GetCaps() const override { return caps_; }
  void SetRenderState(port::gpu::RenderState, uint32_t) override {}
  uint32_t GetRenderState(port::gpu::RenderState) const override { return 0; }
  void SetTextureStageState(int, port::gpu::StageState, uint32_t) override {}
  uint32_t GetTextureStageState(int, port::gpu::StageState) const override { return 0; }
  void SetSamplerState(int, port::gpu::SamplerState, uint32_t) override {}
  uint32_t GetSamplerState(int, port::gpu::SamplerState) const override { return 0; }
  void SetTexture(int, port::gpu::Texture*) override {}
  port::gpu::Texture* GetTexture(int) const override { return nullptr; }
  void SetTransform(port::gpu::TransformType, const port::Matrix& m) override { m_ = m; }
  const port::Matrix& GetTransform(port::gpu::TransformType) const override { return m_; }
  bool SetLight(int, const port::gpu::Light&) override { return true; }
  bool GetLight(int, port::gpu::Light*) const override { return false; }
  void LightEnable(int, bool) override {}
  void SetMaterial(const port::gpu::Material& m) override { mat_ = m; }
  const port::gpu::Material& GetMaterial() const override { return mat_; }
  bool SetViewport(const port::gpu::Viewport& v) override { vp_ = v; return true; }
  const port::gpu::Viewport& GetViewport() const override { return vp_; }
  void Clear(uint32_t, port::Argb, float) override {}
  void SetFVF(uint32_t) override {}
  void SetVertexLayout(const port::gpu::VertexLayout& l) override { layout = l; }
  const port::gpu::VertexLayout& GetVertexLayout() const override { return layout; }
  void SetStreamSource(port::gpu::Buffer* b, uint32_t, uint32_t s) override { stream = b; stride = s; }
  void SetIndices(port::gpu::Buffer* b) override { indices = b; }
  void DrawPrimitive(port::gpu::PrimitiveType, uint32_t, uint32_t) override {}
  void DrawIndexedPrimitive(port::gpu::PrimitiveType type, int32_t base, uint32_t minIndex, uint32_t numVertices,
                            uint32_t startIndex, uint32_t count) override {
    if (type == port::gpu::TriangleList) draws.push_back({base, minIndex, numVertices, startIndex, count});
  }
  void DrawPrimitiveUP(port::gpu::PrimitiveType, uint32_t, const void*, uint32_t) override {}
  port::gpu::Texture* CreateTexture(uint32_t, uint32_t, uint32_t) override { return nullptr; }
  port::gpu::Buffer* CreateBuffer(uint32_t size, bool) override {
    auto* b = new FakeBuffer(size, &uploads);
    created.push_back(b);
    return b;
  }
  void SetShaderProgram(port::gpu::ShaderProgram*) override {}
  port::gpu::ShaderProgram* GetShaderProgram() const override { return nullptr; }
  bool Present() override { return true; }
  std::vector<uint32_t> ReadBackBuffer() override { return {}; }

 private:
  port::gpu::Caps caps_;
  port::Matrix m_;
  port::gpu::Material mat_;
  port::gpu::Viewport vp_;
};

}  // namespace xtest
