#include "render/SkinnedModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "port/mesh_x.h"
#include "port/texture_file.h"
#include "port/xfile.h"
#include "render/EffectHolder.h"

using port::Matrix;
using port::Status;
namespace gpu = port::gpu;
namespace x = port::x;

namespace {

// Vertex shader 1.1: below it the palette mesh would live in system memory.
constexpr uint32_t kVertexShader11 = 0xFFFE0101;

port::Vec4 ToVec4(const port::ColorValue& c) { return {c.r, c.g, c.b, c.a}; }

}  // namespace

SkinnedModel::SkinnedModel() = default;

SkinnedModel::~SkinnedModel() { Release(); }

Status SkinnedModel::Init(gpu::Device* device, const gpu::Caps* caps) {
  device_ = device;
  if (device) caps_ = caps ? *caps : device->GetCaps();
  rootLocal_ = rootExtra_ = world_ = port::MatrixIdentity();
  method_ = kMethodSoftware;
  return port::kOk;
}

Status SkinnedModel::Load(const char* path, int method) {
  Release();
  method_ = method;
  path_ = path ? path : "";
  if (!path) return port::kInvalidArg;
  return LoadHierarchy();
}

Status SkinnedModel::AddAnimation(const char* path) {
  if (!scene_) return port::kOk;
  const size_t before = scene_->sets.size();
  const Status s = LoadAnimationSets(path);
  // A file that brought no set still takes its track slot.
  if (scene_->sets.size() == before) scene_->sets.push_back(std::make_unique<ModelAnimationSet>());
  return s;
}

void SkinnedModel::BindEffectParameters(const char* vp, const char* colour, const char* lightDir,
                                        const char* decalTex, const char* numBones,
                                        const char* boneArray) {
  if (!effect_) return;
  port::Effect* fx = effect_->GetEffect();
  auto handle = [&](const char* name) -> port::EffectHandle {
    return fx && name ? fx->GetParameterByName(name) : 0;
  };
  hVP_ = handle(vp);
  hColour_ = handle(colour);
  hLightDir_ = handle(lightDir);
  hDecalTex_ = handle(decalTex);
  hNumBones_ = handle(numBones);
  hBoneArray_ = handle(boneArray);
}

Status SkinnedModel::GetAnimationLengths(std::vector<AnimTrack>& tracks) const {
  if (!scene_) return port::kOk;
  const size_t n = std::min(tracks.size(), scene_->sets.size());
  for (size_t i = 0; i < n; ++i) scene_->sets[i]->GetLength(&tracks[i]);
  return tracks.size() < scene_->sets.size() ? port::kInvalidArg : port::kOk;
}

void SkinnedModel::SetWorld(const Matrix& m) {
  world_ = m;
  rootLocal_ = rootExtra_ = port::MatrixIdentity();
}

Status SkinnedModel::SetProjection(const Matrix& m) {
  projection_ = m;
  if (scene_ && device_) device_->SetTransform(gpu::TransformType::Projection, m);
  return port::kOk;
}

Status SkinnedModel::SetLight(float x, float y, float z, float w, const gpu::Light* light) {
  if (light) {
    if (!device_ || !device_->SetLight(0, *light)) return port::kFail;
    device_->LightEnable(0, true);
  }
  if (port::Effect* fx = Effect()) fx->SetVector(hLightDir_, {x, y, z, w});
  return port::kOk;
}

Status SkinnedModel::Animate(const std::vector<AnimTrack>& tracks, bool loop,
                             const ModelFrame* frameFilter) {
  if (!scene_) return port::kOk;
  const size_t n = std::min(tracks.size(), scene_->sets.size());
  for (size_t i = 0; i < n; ++i) {
    const AnimTrack& track = tracks[i];
    float t;
    if (loop) {
      t = track.length > 0.0f && std::isfinite(track.length) ? std::fmod(track.time, track.length)
                                                             : 0.0f;
    } else {
      t = track.time <= track.length ? track.time : track.length;
    }
    scene_->sets[i]->Apply(t, track.weight, frameFilter);
  }
  return tracks.size() < scene_->sets.size() ? port::kInvalidArg : port::kOk;
}

void SkinnedModel::UpdateFrameMatrices() {
  if (!scene_ || !scene_->root) return;
  scene_->root->local = rootLocal_;
  scene_->root->extra = rootExtra_;
  scene_->root->UpdateMatrices(world_);
}

Status SkinnedModel::Render(uint8_t renderFlag) {
  renderFlag_ = renderFlag;
  if (!scene_ || !scene_->root) return port::kOk;
  if (!device_) return port::kInvalidCall;
  UpdateFrameMatrices();
  const Status s = DrawFrame(*scene_->root);
  // The decal would otherwise tint every later fixed-function draw.
  if (method_ != kMethodSoftware) device_->SetTexture(decalStage_, nullptr);
  return s;
}

Status SkinnedModel::Release() {
  if (scene_) {
    if (scene_->root) scene_->root->ReleaseMeshes();
    scene_->Release();
    scene_.reset();
  }
  boneMatrices_.clear();
  boneMatrices_.shrink_to_fit();
  maxBones_ = 0;
  return port::kOk;
}

port::Effect* SkinnedModel::Effect() const { return effect_ ? effect_->GetEffect() : nullptr; }

// ---------------------------------------------------------------------------
// Reading

Status SkinnedModel::LoadHierarchy() {
  if (path_.size() < 2) return port::kFail;
  x::Error error;
  std::unique_ptr<x::File> file = x::File::Load(path_, &error);
  if (!file) return port::kFail;
  auto scene = std::make_unique<ModelScene>();
  for (const x::Object* object : file->Objects()) {
    const Status s = LoadFrames(*scene->root, *object, *scene, port::meshopt::kManaged);
    if (port::Failed(s)) {
      scene.reset();
      Release();
      return s;
    }
  }
  scene->root->LinkBones(*scene);
  scene->name = path_;
  scene_ = std::move(scene);
  return scene_->ComputeRadius();
}

Status SkinnedModel::LoadAnimationSets(const char* path) {
  if (!path) return port::kInvalidArg;
  if (std::strlen(path) < 2) return port::kFail;
  x::Error error;
  std::unique_ptr<x::File> file = x::File::Load(path, &error);
  if (!file) return port::kFail;
  for (const x::Object* object : file->Objects()) {
    if (!object->Is(x::guids::kAnimationSet)) continue;
    const Status s = LoadFrames(*scene_->root, *object, *scene_, 0);
    if (port::Failed(s)) return s;
  }
  return port::kOk;
}

Status SkinnedModel::LoadFrames(ModelFrame& parent, const x::Object& data, ModelScene& scene,
                                uint32_t meshOptions) {
  if (data.Is(x::guids::kMesh)) return LoadMesh(parent, data, meshOptions);
  if (data.Is(x::guids::kFrameTransformMatrix)) {
    Matrix m;
    x::DataReader r = data.Data();
    if (!r.ReadMatrix(&m)) return port::kInvalidArg;
    parent.local = parent.file = m;
    return port::kOk;
  }
  if (data.Is(x::guids::kAnimationSet)) return LoadAnimationSet(data, scene);
  if (data.Is(x::guids::kAnimation)) {
    // An animation outside any set has no set to go into.
    if (scene.sets.empty()) return port::kOk;
    return LoadAnimation(*scene.sets.back(), data, scene);
  }
  if (data.Is(x::guids::kFrame)) {
    ModelFrame* frame = parent.AddChild(std::make_unique<ModelFrame>(data.Name()));
    for (const x::Child& child : data.Children()) {
      if (child.IsReference() || !child.object) continue;
      const Status s = LoadFrames(*frame, *child.object, scene, meshOptions);
      if (port::Failed(s)) return s;
    }
  }
  return port::kOk;
}

Status SkinnedModel::LoadMesh(ModelFrame& parent, const x::Object& data, uint32_t meshOptions) {
  auto c = std::make_unique<ModelMeshContainer>();
  c->name = data.Name();
  std::vector<port::XMaterial> materials;
  port::SkinInfo* skin = nullptr;
  port::Mesh* mesh = nullptr;
  Status s = port::LoadSkinMeshFromXof(data, meshOptions, device_, &c->adjacency, &materials, &skin,
                                       &mesh);
  if (s == port::kMeshHasNoData) {
    port::SafeRelease(skin);
    port::SafeRelease(mesh);
    return port::kOk;
  }
  if (port::Failed(s) || !mesh) {
    port::SafeRelease(skin);
    port::SafeRelease(mesh);
    return port::Failed(s) ? s : port::kFail;
  }
  c->sourceMesh = mesh;

  if (materials.empty()) materials.push_back({port::DefaultXMaterial(), {}});
  c->materials.reserve(materials.size());
  c->textures.assign(materials.size(), nullptr);
  for (size_t i = 0; i < materials.size(); ++i) {
    c->materials.push_back(materials[i].material);
    if (device_ && !materials[i].textureFilename.empty()) {
      port::CreateTextureFromFile(device_, materials[i].textureFilename, 0, &c->textures[i]);
    }
  }

  if (!skin || skin->GetNumBones() == 0) {
    port::SafeRelease(skin);
    c->attributeRangeCount = static_cast<uint32_t>(c->materials.size());
  } else {
    c->skin = skin;
    if (skin->GetNumVertices() != mesh->GetNumVertices()) return port::kInvalidArg;
    maxBones_ = std::max(maxBones_, skin->GetNumBones());
    c->boneMatrices.assign(skin->GetNumBones(), nullptr);
    s = BuildSkinnedMesh(*c);
    if (port::Failed(s)) return s;
  }
  parent.AddMeshContainer(std::move(c));
  return port::kOk;
}

Status SkinnedModel::LoadAnimationSet(const x::Object& data, ModelScene& scene) {
  scene.sets.push_back(std::make_unique<ModelAnimationSet>(data.Name()));
  ModelAnimationSet& set = *scene.sets.back();
  for (const x::Child& child : data.Children()) {
    if (child.IsReference() || !child.object || !child.object->Is(x::guids::kAnimation)) continue;
    const Status s = LoadAnimation(set, *child.object, scene);
    if (port::Failed(s)) {
      // The set keeps its slot but poses nothing half-read.
      set.Clear();
      return s;
    }
  }
  return port::kOk;
}

namespace {

Status ReadKeys(ModelAnimation& a, const x::Object& data) {
  x::DataReader r = data.Data();
  uint32_t type = 0, count = 0;
  if (!r.ReadDword(&type) || !r.ReadDword(&count)) return port::kInvalidArg;
  uint32_t values = 0;
  switch (type) {
    case ModelAnimation::kRotation:
      values = 4;
      break;
    case ModelAnimation::kScale:
    case ModelAnimation::kPosition:
      values = 3;
      break;
    case ModelAnimation::kMatrix:
      values = 16;
      break;
    default:
      return port::kInvalidArg;
  }
  const uint32_t bit = 1u << type;
  if (a.loadedKeyTypes & bit) return port::kInvalidArg;
  a.loadedKeyTypes |= bit;
  // Each key is a time, a value count and the values: never trust the count.
  if (count > r.Remaining() / (2 + values)) return port::kInvalidArg;
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t time = 0, n = 0;
    float f[16];
    if (!r.ReadDword(&time) || !r.ReadDword(&n) || n != values || !r.ReadFloats(f, values)) {
      return port::kInvalidArg;
    }
    switch (type) {
      case ModelAnimation::kRotation:
        a.rotationKeys.push_back({time, port::Quat{f[1], f[2], f[3], f[0]}});
        break;
      case ModelAnimation::kScale:
        a.scaleKeys.push_back({time, {f[0], f[1], f[2]}});
        break;
      case ModelAnimation::kPosition:
        a.positionKeys.push_back({time, {f[0], f[1], f[2]}});
        break;
      default: {
        MatrixKey key;
        key.time = time;
        std::memcpy(key.matrix.m, f, sizeof f);
        a.matrixKeys.push_back(key);
      }
    }
  }
  return port::kOk;
}

}  // namespace

Status SkinnedModel::LoadAnimation(ModelAnimationSet& set, const x::Object& data,
                                   ModelScene& scene) {
  auto owned = std::make_unique<ModelAnimation>();
  owned->name = data.Name();
  ModelAnimation* a = set.AddAnimation(std::move(owned));
  bool haveTarget = false;
  for (const x::Child& child : data.Children()) {
    if (child.IsReference()) {
      // A name the file does not define is taken for a frame of the model.
      const x::Object* target = child.Target();
      if (target && !target->Is(x::guids::kFrame)) continue;
      if (haveTarget) return port::kInvalidArg;
      haveTarget = true;
      const std::string& name = target ? target->Name() : child.name;
      if (name.empty()) return port::kInvalidArg;
      a->target = scene.FindFrame(name.c_str());
      if (!a->target) return port::kInvalidArg;
    } else if (child.object && child.object->Is(x::guids::kAnimationKey)) {
      const Status s = ReadKeys(*a, *child.object);
      if (port::Failed(s)) return s;
    }
    // Inline frames drive nothing and are not part of the model; options are ignored.
  }
  return a->target ? port::kOk : port::kInvalidArg;
}

Status SkinnedModel::BuildSkinnedMesh(ModelMeshContainer& c) {
  // The work space only grows: meshes built earlier keep their palette room.
  if (boneMatrices_.size() < std::max(maxBones_, kPaletteSize)) {
    boneMatrices_.resize(std::max(maxBones_, kPaletteSize), port::MatrixIdentity());
  }
  return method_ == kMethodSoftware ? BuildSoftwareSkinMesh(c) : BuildPaletteMesh(c);
}

Status SkinnedModel::BuildSoftwareSkinMesh(ModelMeshContainer& c) {
  c.ReleaseDrawMesh();
  const port::Mesh& src = *c.sourceMesh;
  const Status s =
      src.GetFVF() != 0
          ? src.CloneMeshFVF(port::meshopt::kManaged, src.GetFVF(), device_, &c.drawMesh)
          : src.CloneMesh(port::meshopt::kManaged, src.GetDeclaration(), device_, &c.drawMesh);
  if (port::Failed(s)) return s;
  c.attributeTable = c.drawMesh->AttributeTable();
  c.attributeRangeCount = static_cast<uint32_t>(c.attributeTable.size());
  return port::kOk;
}

Status SkinnedModel::BuildPaletteMesh(ModelMeshContainer& c) {
  c.paletteSize = std::min(c.skin->GetNumBones(), kPaletteSize);
  c.ReleaseDrawMesh();
  const uint32_t options = caps_.vertexShaderVersion < kVertexShader11
                               ? port::meshopt::kSystemMem | port::meshopt::kVertexCache
                               : port::meshopt::kManaged | port::meshopt::kVertexCache;
  port::Mesh* mesh = nullptr;
  Status s = port::ConvertToIndexedBlendedMesh(*c.skin, *c.sourceMesh, options, c.paletteSize,
                                               &c.maxFaceInfluences, &c.boneCombinations, &mesh);
  if (port::Failed(s)) return s;
  const uint32_t wanted = (mesh->GetFVF() & gpu::fvf::PositionMask) | gpu::fvf::Normal |
                          gpu::fvf::Tex1 | gpu::fvf::LastBetaUByte4;
  if (wanted != mesh->GetFVF()) {
    port::Mesh* clone = nullptr;
    s = mesh->CloneMeshFVF(mesh->GetOptions(), wanted, device_, &clone);
    mesh->Release();
    if (port::Failed(s)) return s;
    mesh = clone;
  }
  // The shader reads the four index bytes as a colour.
  gpu::VertexLayout layout = mesh->GetDeclaration();
  for (gpu::VertexElement& e : layout.elements) {
    if (e.usage == gpu::DeclUsage::BlendIndices && e.usageIndex == 0) e.type = gpu::DeclType::Color;
  }
  s = mesh->UpdateSemantics(layout);
  if (port::Failed(s)) {
    mesh->Release();
    return s;
  }
  c.drawMesh = mesh;
  c.attributeTable = mesh->AttributeTable();
  c.attributeRangeCount = static_cast<uint32_t>(c.attributeTable.size());
  return port::kOk;
}

// ---------------------------------------------------------------------------
// Drawing

Status SkinnedModel::DrawFrame(const ModelFrame& frame) {
  Status s = port::kOk;
  if (frame.HasContainers()) {
    device_->SetTransform(gpu::TransformType::World, frame.combined);
    frame.ForEachContainer([&](const ModelMeshContainer& c) {
      if (!port::Failed(s)) s = DrawContainer(frame, const_cast<ModelMeshContainer&>(c));
    });
  }
  frame.ForEachChild([&](const ModelFrame& child) {
    if (!port::Failed(s)) s = DrawFrame(child);
  });
  return s;
}

Status SkinnedModel::DrawContainer(const ModelFrame& frame, ModelMeshContainer& c) {
  if (!c.skin) return DrawRigidContainer(frame, c);
  if (!c.drawMesh) return port::kOk;
  return method_ == kMethodSoftware ? DrawSoftwareSkinnedContainer(c) : DrawToonContainer(c);
}

Status SkinnedModel::DrawRigidContainer(const ModelFrame& frame, ModelMeshContainer& c) {
  port::Effect* fx = Effect();
  const bool toon = method_ != kMethodSoftware;
  // Inside the toon pass a rigid part is skinned to its frame by palette entry 0.
  if (toon && fx) {
    fx->SetMatrixArray(hBoneArray_, &frame.combined, 1);
    fx->SetInt(hNumBones_, 0);
  }
  const uint32_t n =
      std::min<uint32_t>(c.attributeRangeCount, static_cast<uint32_t>(c.materials.size()));
  for (uint32_t i = 0; i < n; ++i) {
    device_->SetMaterial(c.materials[i]);
    gpu::Texture* tex = i < c.textures.size() ? c.textures[i] : nullptr;
    if (fx) fx->SetTexture(hDecalTex_, tex);
    if (toon) {
      device_->SetTexture(decalStage_, tex);
    } else {
      // The fixed-function pipeline samples stage 0 with the mesh's only coordinates.
      device_->SetTexture(0, tex);
      device_->SetTexture(1, nullptr);
    }
    const Status s = c.sourceMesh->DrawSubset(i);
    if (port::Failed(s)) return s;
  }
  return port::kOk;
}

Matrix SkinnedModel::BoneMatrix(const ModelMeshContainer& c, uint32_t bone) const {
  const Matrix* combined = bone < c.boneMatrices.size() ? c.boneMatrices[bone] : nullptr;
  const Matrix* offset = c.skin->GetBoneOffsetMatrix(bone);
  if (!combined || !offset) return scene_->root->combined;
  return port::MatrixMultiply(*offset, *combined);
}

Status SkinnedModel::DrawSoftwareSkinnedContainer(ModelMeshContainer& c) {
  const uint32_t bones = c.skin->GetNumBones();
  if (boneMatrices_.size() < bones) boneMatrices_.resize(bones);
  for (uint32_t i = 0; i < bones; ++i) boneMatrices_[i] = BoneMatrix(c, i);
  device_->SetTransform(gpu::TransformType::World, port::MatrixIdentity());
  Status s =
      port::UpdateSkinnedMesh(*c.skin, boneMatrices_.data(), bones, *c.sourceMesh, c.drawMesh);
  if (port::Failed(s)) return s;
  for (const port::AttributeRange& range : c.attributeTable) {
    const uint32_t id = range.attribId;
    gpu::Texture* tex = nullptr;
    if (renderFlag_ && id < c.materials.size()) {
      device_->SetMaterial(c.materials[id]);
      tex = id < c.textures.size() ? c.textures[id] : nullptr;
    } else {
      device_->SetMaterial(material_);
    }
    device_->SetTexture(0, tex);
    s = c.drawMesh->DrawSubset(id);
    if (port::Failed(s)) return s;
  }
  return port::kOk;
}

Status SkinnedModel::DrawToonContainer(ModelMeshContainer& c) {
  port::Effect* fx = Effect();
  // Without the effect there is no program to draw the palette mesh with.
  if (!fx) return port::kOk;
  fx->SetMatrix(hVP_, port::MatrixMultiply(view_, projection_));
  const uint32_t bones = c.skin->GetNumBones();
  if (boneMatrices_.size() < c.paletteSize) boneMatrices_.resize(c.paletteSize);
  // Subsets share bones: each is made once in this draw.
  if (boneCache_.size() < bones) {
    boneCache_.resize(bones);
    boneMade_.resize(bones, 0);
  }
  if (++boneRound_ == 0) {
    std::fill(boneMade_.begin(), boneMade_.end(), 0);
    boneRound_ = 1;
  }
  for (const port::AttributeRange& range : c.attributeTable) {
    if (range.attribId >= c.boneCombinations.size()) continue;
    const port::BoneCombination& combo = c.boneCombinations[range.attribId];
    for (uint32_t j = 0; j < c.paletteSize && j < combo.boneId.size(); ++j) {
      const uint32_t b = combo.boneId[j];
      if (b == port::kNoBone || b >= bones) continue;
      if (boneMade_[b] != boneRound_) {
        boneCache_[b] = BoneMatrix(c, b);
        boneMade_[b] = boneRound_;
      }
      boneMatrices_[j] = boneCache_[b];
    }
    fx->SetMatrixArray(hBoneArray_, boneMatrices_.data(), c.paletteSize);
    if (renderFlag_) {
      const uint32_t m = combo.attribId;
      gpu::Texture* tex = m < c.textures.size() ? c.textures[m] : nullptr;
      if (m < c.materials.size()) fx->SetVector(hColour_, ToVec4(c.materials[m].diffuse));
      fx->SetTexture(hDecalTex_, tex);
      device_->SetTexture(decalStage_, tex);
    } else {
      fx->SetTexture(hDecalTex_, nullptr);
      device_->SetTexture(decalStage_, nullptr);
    }
    fx->SetInt(hNumBones_, static_cast<int>(c.maxFaceInfluences) - 1);
    const Status s = c.drawMesh->DrawSubset(range.attribId);
    if (port::Failed(s)) return s;
  }
  return port::kOk;
}
