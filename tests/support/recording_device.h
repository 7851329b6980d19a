#pragma once
// A device without GL that keeps the states it is given, logs light and state
// changes, records indexed draws and hands out buffers in plain memory.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "port/gpu.h"

class RecordingBuffer : public port::gpu::Buffer {
 public:
  RecordingBuffer(uint32_t size, int* uploads) : data_(size), uploads_(uploads) {}
  uint32_t Size() const override { return static_cast<uint32_t>(data_.size()); }
  void* Lock() override { return data_.data(); }
  void Unlock() override { ++*uploads_; }
  const void* Data() const override { return data_.data(); }

 private:
  std::vector<uint8_t> data_;
  int* uploads_;
};

class RecordingDevice : public port::gpu::Device {
 public:
  using RS = port::gpu::RenderState;
  struct IndexedDraw {
    int32_t baseVertex;
    uint32_t minIndex, numVertices, startIndex, primitiveCount;
  };

  RecordingDevice() {
    states_[RS::Lighting] = 0;
    states_[RS::ZWriteEnable] = 1;
    states_[RS::SrcBlend] = port::gpu::BlendSrcAlpha;
    states_[RS::DestBlend] = port::gpu::BlendInvSrcAlpha;
  }

  const port::gpu::Caps& GetCaps() const override { return caps_; }
  void SetRenderState(RS s, uint32_t v) override {
    states_[s] = v;
    log.push_back("rs" + std::to_string(static_cast<int>(s)) + "=" + std::to_string(v));
  }
  uint32_t GetRenderState(RS s) const override {
    auto it = states_.find(s);
    return it == states_.end() ? 0 : it->second;
  }
  void SetTextureStageState(int, port::gpu::StageState, uint32_t) override {}
  uint32_t GetTextureStageState(int, port::gpu::StageState) const override { return 0; }
  void SetSamplerState(int stage, port::gpu::SamplerState s, uint32_t v) override {
    samplers_[{stage, static_cast<int>(s)}] = v;
  }
  uint32_t GetSamplerState(int stage, port::gpu::SamplerState s) const override {
    auto it = samplers_.find({stage, static_cast<int>(s)});
    return it == samplers_.end() ? 0 : it->second;
  }
  void SetTexture(int, port::gpu::Texture*) override {}
  port::gpu::Texture* GetTexture(int) const override { return nullptr; }
  void SetTransform(port::gpu::TransformType t, const port::Matrix& m) override {
    transforms_[static_cast<int>(t)] = m;
    ++transformSets;
  }
  const port::Matrix& GetTransform(port::gpu::TransformType t) const override {
    return transforms_[static_cast<int>(t)];
  }
  bool SetLight(int, const port::gpu::Light&) override { return true; }
  bool GetLight(int, port::gpu::Light*) const override { return false; }
  void LightEnable(int index, bool enable) override {
    lightEnabled = enable;
    log.push_back("light" + std::to_string(index) + (enable ? "=on" : "=off"));
  }
  void SetMaterial(const port::gpu::Material& m) override { material_ = m; }
  const port::gpu::Material& GetMaterial() const override { return material_; }
  bool SetViewport(const port::gpu::Viewport& vp) override {
    viewport_ = vp;
    return true;
  }
  const port::gpu::Viewport& GetViewport() const override { return viewport_; }
  void Clear(uint32_t, port::Argb, float) override {}
  void SetFVF(uint32_t) override {}
  void SetVertexLayout(const port::gpu::VertexLayout& l) override { layout = l; }
  const port::gpu::VertexLayout& GetVertexLayout() const override { return layout; }
  void SetStreamSource(port::gpu::Buffer* b, uint32_t, uint32_t s) override {
    stream = b;
    stride = s;
  }
  void SetIndices(port::gpu::Buffer* b) override { indices = b; }
  void DrawPrimitive(port::gpu::PrimitiveType, uint32_t, uint32_t) override { ++draws; }
  void DrawIndexedPrimitive(port::gpu::PrimitiveType type, int32_t base, uint32_t minIndex,
                            uint32_t numVertices, uint32_t startIndex, uint32_t count) override {
    ++draws;
    if (type == port::gpu::TriangleList)
      indexedDraws.push_back({base, minIndex, numVertices, startIndex, count});
  }
  void DrawPrimitiveUP(port::gpu::PrimitiveType, uint32_t, const void*, uint32_t) override {
    ++draws;
  }
  port::gpu::Texture* CreateTexture(uint32_t, uint32_t, uint32_t) override { return nullptr; }
  port::gpu::Buffer* CreateBuffer(uint32_t size, bool) override {
    auto* b = new RecordingBuffer(size, &uploads);
    created.push_back(b);
    return b;
  }
  void SetShaderProgram(port::gpu::ShaderProgram*) override {}
  port::gpu::ShaderProgram* GetShaderProgram() const override { return nullptr; }
  bool Present() override { return true; }
  std::vector<uint32_t> ReadBackBuffer() override { return {}; }

  std::vector<std::string> log;
  bool lightEnabled = false;
  int transformSets = 0;
  int draws = 0;
  std::vector<IndexedDraw> indexedDraws;  // triangle lists only
  std::vector<RecordingBuffer*> created;
  int uploads = 0;
  port::gpu::Buffer* stream = nullptr;
  port::gpu::Buffer* indices = nullptr;
  uint32_t stride = 0;
  port::gpu::VertexLayout layout;

 private:
  port::gpu::Caps caps_;
  std::map<RS, uint32_t> states_;
  std::map<std::pair<int, int>, uint32_t> samplers_;
  port::Matrix transforms_[3];
  port::gpu::Material material_;
  port::gpu::Viewport viewport_;
};
