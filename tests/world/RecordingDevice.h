#pragma once
// A device without GL that keeps the states it is given and logs the calls,
// for checking what the lists and the camera set.
#include <map>
#include <string>
#include <vector>

#include "port/gpu.h"

class RecordingDevice : public port::gpu::Device {
 public:
  using RS = port::gpu::RenderState;

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
  void SetVertexLayout(const port::gpu::VertexLayout& layout) override { layout_ = layout; }
  // Not marked override: older device interfaces lack it.
  const port::gpu::VertexLayout& GetVertexLayout() const { return layout_; }
  void SetStreamSource(port::gpu::Buffer*, uint32_t, uint32_t) override {}
  void SetIndices(port::gpu::Buffer*) override {}
  void DrawPrimitive(port::gpu::PrimitiveType, uint32_t, uint32_t) override { ++draws; }
  void DrawIndexedPrimitive(port::gpu::PrimitiveType, int32_t, uint32_t, uint32_t, uint32_t,
                            uint32_t) override {
    ++draws;
  }
  void DrawPrimitiveUP(port::gpu::PrimitiveType, uint32_t, const void*, uint32_t) override { ++draws; }
  port::gpu::Texture* CreateTexture(uint32_t, uint32_t, uint32_t) override { return nullptr; }
  port::gpu::Buffer* CreateBuffer(uint32_t, bool) override { return nullptr; }
  void SetShaderProgram(port::gpu::ShaderProgram*) override {}
  port::gpu::ShaderProgram* GetShaderProgram() const override { return nullptr; }
  bool Present() override { return true; }
  std::vector<uint32_t> ReadBackBuffer() override { return {}; }

  std::vector<std::string> log;
  bool lightEnabled = false;
  int transformSets = 0;
  int draws = 0;

 private:
  port::gpu::Caps caps_;
  std::map<RS, uint32_t> states_;
  std::map<std::pair<int, int>, uint32_t> samplers_;
  port::Matrix transforms_[3];
  port::gpu::Material material_;
  port::gpu::Viewport viewport_;
  port::gpu::VertexLayout layout_;
};
