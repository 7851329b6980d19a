#pragma once
// A skinned, animated figure read from .X files: one model is shared by every
// instance of an actor class, which poses it from its own animation tracks and
// draws it right away. Draw method 2 skins on the CPU and lights with the
// fixed-function pipeline; method 3 draws a bone-palette mesh through the toon
// effect (between the owner's EffectHolder::Begin and End).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "port/effect.h"
#include "port/gpu.h"
#include "port/math.h"
#include "port/resource.h"
#include "render/AnimTrack.h"
#include "render/ModelScene.h"

class EffectHolder;

namespace port::x {
class Object;
}

class SkinnedModel {
 public:
  static constexpr int kMethodSoftware = 2;
  static constexpr int kMethodToon = 3;
  static constexpr uint32_t kPaletteSize = 26;

  SkinnedModel();
  virtual ~SkinnedModel();
  SkinnedModel(const SkinnedModel&) = delete;
  SkinnedModel& operator=(const SkinnedModel&) = delete;

  // Device may be null (a model that loads and poses but never draws).
  port::Status Init(port::gpu::Device* device, const port::gpu::Caps* caps);
  bool IsLoaded() const { return scene_ != nullptr; }
  bool HasScene() const { return scene_ != nullptr; }

  // Reads the model file (frames, meshes, its own animation sets) for the
  // draw method. On failure nothing stays loaded.
  port::Status Load(const char* path, int method);
  // Reads the animation sets of another file; nothing (0) without a scene.
  // Every call adds at least one set, so tracks keep their indices: a file
  // that fails keeps the sets read before the failing one, and the failing
  // set stays as an empty one.
  port::Status AddAnimation(const char* path);

  void SetEffect(EffectHolder* effect) { effect_ = effect; }
  EffectHolder* GetEffectHolder() const { return effect_; }
  // The six effect parameters, by name; nothing without an effect holder.
  void BindEffectParameters(const char* vp, const char* colour, const char* lightDir,
                            const char* decalTex, const char* numBones, const char* boneArray);

  // Set i's length into tracks[i]. Fails (after filling what it can) when
  // there are fewer tracks than sets.
  port::Status GetAnimationLengths(std::vector<AnimTrack>& tracks) const;

  void SetWorld(const port::Matrix& m);
  port::Status SetProjection(const port::Matrix& m);
  void SetView(const port::Matrix& m) { view_ = m; }
  // Light 0 when given, then "vLightDir" when the effect exists.
  port::Status SetLight(float x, float y, float z, float w, const port::gpu::Light* light);
  // The material method 2 draws with when rendering without textures.
  void SetMaterial(const port::gpu::Material& m) { material_ = m; }
  void SetRootMatrices(const port::Matrix& local, const port::Matrix& extra) {
    rootLocal_ = local;
    rootExtra_ = extra;
  }

  // Poses the frames from the tracks (set i from tracks[i]); loop wraps the
  // time by the length, else the time is held at the length. frameFilter,
  // when set, limits the pose to that frame. Fails when there are fewer
  // tracks than sets (the sets without a track are left out).
  port::Status Animate(const std::vector<AnimTrack>& tracks, bool loop,
                       const ModelFrame* frameFilter);
  // Every frame's combined matrix from the root, world as the root's parent.
  void UpdateFrameMatrices();
  // renderFlag 1: the meshes' materials and textures; 0: untextured, with the
  // model's own material (method 2) or the owner's "vCol" (method 3).
  port::Status Render(uint8_t renderFlag);

  ModelFrame* FindFrame(const char* name) const {
    return scene_ ? scene_->FindFrame(name) : nullptr;
  }
  float GetRadius() const { return scene_ ? scene_->radius : 0.0f; }
  port::Status Release();

  int GetMethod() const { return method_; }
  uint32_t GetMaxBones() const { return maxBones_; }
  const std::string& GetPath() const { return path_; }
  const ModelScene* GetScene() const { return scene_.get(); }
  size_t GetAnimationSetCount() const { return scene_ ? scene_->sets.size() : 0; }
  const port::Matrix& GetWorld() const { return world_; }

 private:
  port::Status LoadHierarchy();
  port::Status LoadAnimationSets(const char* path);
  port::Status LoadFrames(ModelFrame& parent, const port::x::Object& data, ModelScene& scene,
                          uint32_t meshOptions);
  port::Status LoadMesh(ModelFrame& parent, const port::x::Object& data, uint32_t meshOptions);
  port::Status LoadAnimationSet(const port::x::Object& data, ModelScene& scene);
  port::Status LoadAnimation(ModelAnimationSet& set, const port::x::Object& data,
                             ModelScene& scene);
  port::Status BuildSkinnedMesh(ModelMeshContainer& c);
  port::Status BuildSoftwareSkinMesh(ModelMeshContainer& c);
  port::Status BuildPaletteMesh(ModelMeshContainer& c);

  port::Status DrawFrame(const ModelFrame& frame);
  port::Status DrawContainer(const ModelFrame& frame, ModelMeshContainer& c);
  port::Status DrawRigidContainer(const ModelFrame& frame, ModelMeshContainer& c);
  port::Status DrawSoftwareSkinnedContainer(ModelMeshContainer& c);
  port::Status DrawToonContainer(ModelMeshContainer& c);
  // Offset x the combined matrix of the bone's frame (the world matrix for a
  // bone whose frame is missing).
  port::Matrix BoneMatrix(const ModelMeshContainer& c, uint32_t bone) const;
  port::Effect* Effect() const;

  std::string path_;
  port::gpu::Device* device_ = nullptr;
  port::gpu::Caps caps_;
  std::unique_ptr<ModelScene> scene_;
  uint32_t maxBones_ = 0;
  int method_ = kMethodSoftware;
  EffectHolder* effect_ = nullptr;
  port::EffectHandle hVP_ = 0, hColour_ = 0, hLightDir_ = 0, hDecalTex_ = 0, hNumBones_ = 0,
                     hBoneArray_ = 0;
  uint8_t renderFlag_ = 0;
  port::gpu::Material material_;
  int decalStage_ = 1;
  port::Matrix rootLocal_ = port::MatrixIdentity();
  port::Matrix rootExtra_ = port::MatrixIdentity();
  port::Matrix world_ = port::MatrixIdentity();
  port::Matrix view_ = port::MatrixIdentity();
  port::Matrix projection_ = port::MatrixIdentity();
  std::vector<port::Matrix> boneMatrices_;  // the palette work space
  // Each bone's matrix of the container being drawn, made once for all its
  // subsets; a bone is made when boneMade_ holds the current boneRound_.
  std::vector<port::Matrix> boneCache_;
  std::vector<uint32_t> boneMade_;
  uint32_t boneRound_ = 0;
};
