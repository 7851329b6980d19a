#pragma once
// The graphics device: a fixed-function 3D device of the Direct3D 9 kind on
// OpenGL 3.3 core. It keeps every render state, transform, light, material,
// texture stage, sampler state, viewport and point-sprite setting the game
// sets, and draws through a shader that reproduces that subset. It renders
// into a 640 by 480 back buffer of its own, presented scaled to the window.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "port/math.h"
#include "port/resource.h"

namespace port {
class Window;
}

namespace port::gpu {

enum class RenderState : int {
  Lighting,
  SpecularEnable,
  CullMode,   // Cull
  ShadeMode,  // 1 flat, 2 gouraud
  Ambient,    // Argb
  AlphaTestEnable,
  AlphaFunc,  // Cmp
  AlphaRef,   // 0..255
  ZEnable,
  ZFunc,  // Cmp
  ZWriteEnable,
  NormalizeNormals,
  AlphaBlendEnable,
  SrcBlend,   // Blend
  DestBlend,  // Blend
  ColorVertex,
  PointSpriteEnable,
  PointScaleEnable,
  PointSize,     // float bits
  PointSizeMin,  // float bits
  PointSizeMax,  // float bits
  PointScaleA,   // float bits
  PointScaleB,   // float bits
  PointScaleC,   // float bits
  Count
};

enum Cull : uint32_t { CullNone = 1, CullCW = 2, CullCCW = 3 };
enum Cmp : uint32_t {
  CmpNever = 1,
  CmpLess = 2,
  CmpEqual = 3,
  CmpLessEqual = 4,
  CmpGreater = 5,
  CmpNotEqual = 6,
  CmpGreaterEqual = 7,
  CmpAlways = 8
};
enum Blend : uint32_t {
  BlendZero = 1,
  BlendOne = 2,
  BlendSrcColor = 3,
  BlendInvSrcColor = 4,
  BlendSrcAlpha = 5,
  BlendInvSrcAlpha = 6,
  BlendDestAlpha = 7,
  BlendInvDestAlpha = 8,
  BlendDestColor = 9,
  BlendInvDestColor = 10
};
enum Shade : uint32_t { ShadeFlat = 1, ShadeGouraud = 2 };

enum class StageState : int { ColorOp, ColorArg1, ColorArg2, AlphaOp, AlphaArg1, AlphaArg2, Count };
enum TexOp : uint32_t {
  TexOpDisable = 1,
  TexOpSelectArg1 = 2,
  TexOpSelectArg2 = 3,
  TexOpModulate = 4,
  TexOpModulate2x = 5,
  TexOpModulate4x = 6,
  TexOpAdd = 7
};
enum TexArg : uint32_t { TexArgDiffuse = 0, TexArgCurrent = 1, TexArgTexture = 2 };

enum class SamplerState : int { AddressU, AddressV, MagFilter, MinFilter, MipFilter, Count };
enum Address : uint32_t { AddressWrap = 1, AddressClamp = 3 };
enum Filter : uint32_t { FilterNone = 0, FilterPoint = 1, FilterLinear = 2 };

enum class TransformType : int { World, View, Projection };

enum PrimitiveType : uint32_t {
  PointList = 1,
  LineList = 2,
  LineStrip = 3,
  TriangleList = 4,
  TriangleStrip = 5,
  TriangleFan = 6
};

enum ClearFlags : uint32_t { ClearTarget = 1, ClearZBuffer = 2 };

// Flexible vertex format bits.
namespace fvf {
constexpr uint32_t XYZ = 0x002;
constexpr uint32_t XYZB1 = 0x006, XYZB2 = 0x008, XYZB3 = 0x00A, XYZB4 = 0x00C, XYZB5 = 0x00E;
constexpr uint32_t PositionMask = 0x400E;
constexpr uint32_t Normal = 0x010;
constexpr uint32_t PSize = 0x020;
constexpr uint32_t Diffuse = 0x040;
constexpr uint32_t Specular = 0x080;
constexpr uint32_t Tex1 = 0x100;
constexpr uint32_t TexCountMask = 0xF00;
constexpr uint32_t LastBetaUByte4 = 0x1000;
}  // namespace fvf
uint32_t FvfVertexSize(uint32_t fvf);

// Vertex layout described element by element.
enum class DeclType : uint8_t {
  Float1 = 0,
  Float2 = 1,
  Float3 = 2,
  Float4 = 3,
  Color = 4,
  UByte4 = 5,
  Unused = 17
};
enum class DeclUsage : uint8_t {
  Position = 0,
  BlendWeight = 1,
  BlendIndices = 2,
  Normal = 3,
  PSize = 4,
  TexCoord = 5,
  Color = 10
};
struct VertexElement {
  uint16_t offset = 0;
  DeclType type = DeclType::Unused;
  DeclUsage usage = DeclUsage::Position;
  uint8_t usageIndex = 0;
};
struct VertexLayout {
  std::vector<VertexElement> elements;
  uint32_t stride = 0;
  const VertexElement* Find(DeclUsage usage, uint8_t index = 0) const;
};
VertexLayout LayoutFromFvf(uint32_t fvf);
// The FVF matching a layout, or 0 when the layout has no FVF equivalent.
uint32_t FvfFromLayout(const VertexLayout& layout);

// Attribute locations shared by the fixed-function shader and effect programs.
namespace attrib {
constexpr int Position = 0, BlendWeight = 1, BlendIndices = 2, Normal = 3, Color = 4, TexCoord0 = 5,
              PSize = 6, TexCoord1 = 7;
// The fixed-function shader's per-instance world-view matrix: four rows from here.
constexpr int WorldView = 8;
}  // namespace attrib

enum LightType : uint32_t { LightPoint = 1, LightSpot = 2, LightDirectional = 3 };
struct Light {
  uint32_t type = LightDirectional;
  ColorValue diffuse, specular, ambient;
  Vec3 position, direction;
  float range = 0, falloff = 0, attenuation0 = 0, attenuation1 = 0, attenuation2 = 0, theta = 0,
        phi = 0;
};

struct Material {
  ColorValue diffuse, ambient, specular, emissive;
  float power = 0;
};

struct Viewport {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0, maxZ = 1;
};

class Texture;

// What a mesh sets for each of its subsets itself: DrawOverwrites answers
// for a draw with the current states but these.
struct DrawSetup {
  const VertexLayout* layout = nullptr;
  const Material* material = nullptr;
  Texture* texture = nullptr;  // stage 0
  bool lit = false;            // the Lighting state
};

struct Caps {
  uint32_t vertexShaderVersion = 0xFFFE0300;
  float maxPointSize = 1;
};

class Device;

// A 2D texture with a full or partial mip chain, ARGB texels.
class Texture : public Resource {
 public:
  virtual uint32_t Width() const = 0;  // level 0
  virtual uint32_t Height() const = 0;
  virtual uint32_t Levels() const = 0;
  // Replaces one level's texels (0xAARRGGBB, rows top first).
  virtual bool Update(uint32_t level, const uint32_t* argb) = 0;
};

// An offscreen picture: a colour texture of one level with a depth buffer of
// its own. While it is the device's target, draws and clears land in it; once
// another target is set its texture holds the picture, rows top first, and
// draws like any other texture.
class RenderTarget : public Resource {
 public:
  virtual Texture* GetTexture() = 0;  // owned by the target
  virtual uint32_t Width() const = 0;
  virtual uint32_t Height() const = 0;
};

// Vertex or index data kept on the CPU and uploaded on Unlock.
class Buffer : public Resource {
 public:
  virtual uint32_t Size() const = 0;
  virtual void* Lock() = 0;
  virtual void Unlock() = 0;
  virtual const void* Data() const = 0;
};

// A program that replaces the fixed-function shader while it is active (the
// effect system's passes). Before every draw the device binds the vertex
// attributes of the layout (locations in attrib; a colour arrives as vec4
// r,g,b,a), the stage textures on GL units 0 and 1 with their sampler states,
// and applies blend, depth, cull and viewport; then it calls Apply, which
// binds its GL program and uploads its uniforms (z in clip space runs 0..w).
class ShaderProgram {
 public:
  virtual ~ShaderProgram() = default;
  virtual void Apply(Device& device, const VertexLayout& layout) = 0;
};

class Device {
 public:
  static constexpr int kBackBufferWidth = 640;
  static constexpr int kBackBufferHeight = 480;
  static constexpr int kStages = 2;

  // Creates the OpenGL 3.3 core context on the window. Null and an error text
  // on failure (no display, no GL 3.3).
  static std::unique_ptr<Device> Create(Window* window, std::string* error);
  // The live device, or null: resources released after the device is gone do nothing.
  static Device* Current();

  virtual ~Device() = default;

  virtual const Caps& GetCaps() const = 0;

  virtual void SetRenderState(RenderState state, uint32_t value) = 0;
  virtual uint32_t GetRenderState(RenderState state) const = 0;
  void SetRenderStateF(RenderState state, float value);
  virtual void SetTextureStageState(int stage, StageState state, uint32_t value) = 0;
  virtual uint32_t GetTextureStageState(int stage, StageState state) const = 0;
  virtual void SetSamplerState(int stage, SamplerState state, uint32_t value) = 0;
  virtual uint32_t GetSamplerState(int stage, SamplerState state) const = 0;
  virtual void SetTexture(int stage, Texture* texture) = 0;  // null: no texture
  virtual Texture* GetTexture(int stage) const = 0;

  virtual void SetTransform(TransformType type, const Matrix& m) = 0;
  virtual const Matrix& GetTransform(TransformType type) const = 0;
  virtual bool SetLight(int index, const Light& light) = 0;  // false when invalid
  virtual bool GetLight(int index, Light* light) const = 0;
  virtual void LightEnable(int index, bool enable) = 0;
  virtual void SetMaterial(const Material& material) = 0;
  virtual const Material& GetMaterial() const = 0;

  virtual bool SetViewport(const Viewport& vp) = 0;
  virtual const Viewport& GetViewport() const = 0;
  // Clears only the current viewport rectangle.
  virtual void Clear(uint32_t flags, Argb colour, float z = 1.0f) = 0;

  virtual void SetFVF(uint32_t fvf) = 0;
  virtual void SetVertexLayout(const VertexLayout& layout) = 0;
  virtual const VertexLayout& GetVertexLayout() const = 0;
  virtual void SetStreamSource(Buffer* vertices, uint32_t offsetBytes, uint32_t stride) = 0;
  virtual void SetIndices(Buffer* indices) = 0;  // 16-bit indices
  virtual void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
  virtual void DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                    uint32_t numVertices, uint32_t startIndex,
                                    uint32_t primitiveCount) = 0;
  virtual void DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                               uint32_t stride) = 0;

  virtual Texture* CreateTexture(uint32_t width, uint32_t height, uint32_t levels) = 0;
  virtual Buffer* CreateBuffer(uint32_t sizeBytes, bool indices) = 0;
  // Null when it cannot be made: a size of 0 or past the device's limit, or
  // while failures are forced.
  virtual RenderTarget* CreateRenderTarget(uint32_t, uint32_t) { return nullptr; }
  // Draws and clears go to the target and its own depth from now on (null:
  // the back buffer and its depth); the viewport becomes the whole of the new
  // target. The device keeps a reference while the target is current.
  virtual void SetRenderTarget(RenderTarget*) {}
  virtual RenderTarget* GetRenderTarget() const { return nullptr; }
  // While on, CreateRenderTarget fails: how tests reach the failure path.
  virtual void ForceRenderTargetFailure(bool) {}

  // While set, draws use this program instead of the fixed-function shader.
  virtual void SetShaderProgram(ShaderProgram* program) = 0;
  virtual ShaderProgram* GetShaderProgram() const = 0;

  virtual bool Present() = 0;
  // Changes with every clear and draw, and differs between devices: while it
  // holds, the back buffer still holds the picture it held then.
  virtual uint64_t PictureSerial() const { return 0; }
  // The 640 by 480 back buffer as 0xAARRGGBB, rows top first.
  virtual std::vector<uint32_t> ReadBackBuffer() = 0;
  virtual void SetSoftwareVertexProcessing(bool) {}
  // On (the default), the device sends the context only the state, uniforms
  // and vertex setup that changed since the last draw, and rewrites vertex
  // data in place. Off, every draw sends everything: the reference the draw
  // benchmarks compare against. The picture is the same either way.
  virtual void SetStateFilter(bool) {}
  virtual bool GetStateFilter() const { return false; }
  // On (the default), the fixed-function shader is a program built for the
  // path the draw's states select (lighting, light type, texture stages,
  // alpha test, point sprites), made on first use and kept. Off, every draw
  // uses the general program that reads those states from uniforms. The
  // picture is the same either way.
  virtual void SetShaderVariants(bool) {}
  virtual bool GetShaderVariants() const { return false; }
  // Unlit draws of one vertex buffer that differ only in the world matrix
  // (billboards, particles) are drawn together as one instanced draw. On (the
  // default), those whose blending only adds to the picture, without depth
  // writes, are gathered by their states until a draw of another kind: one
  // instanced draw per set of states. Off, only consecutive ones are drawn
  // together, in the order asked. The picture is the same either way.
  virtual void SetQuadRegrouping(bool) {}
  virtual bool GetQuadRegrouping() const { return false; }
  // On (the default), a fixed-function draw whose vertices all lie outside
  // one and the same plane of the view volume, by a margin no rounding can
  // cross, is left out: it could not reach the picture. Points, vertices with
  // blend weights and effect passes are always drawn; held draws are tested
  // one by one before they are gathered. A draw left out changes the picture
  // serial as a draw does, and is not a draw call. The picture is the same
  // either way.
  virtual void SetViewCulling(bool) {}
  virtual bool GetViewCulling() const { return false; }
  // On (the default where the window allows it), the picture is drawn
  // straight into the window's back buffer and a present is only the swap.
  // Allowed when the window is 640 by 480 with 8-bit colour and alpha, a
  // depth buffer of 24 bits or more, and keeps its back buffer across a
  // swap. Off, it is drawn into a buffer of the device's own and copied into
  // the window at each present. The picture carries over when switched. Mesa
  // rasterises a window from the top down: a few edge pixels of a scene may
  // round one level the other way. Returns whether it is on.
  virtual bool SetDrawIntoWindow(bool) { return false; }
  virtual bool GetDrawIntoWindow() const { return false; }
  // Draw calls sent to the context since the device was made.
  virtual uint64_t DrawCalls() const { return 0; }
  // Draws left out as outside the view since the device was made.
  virtual uint64_t CulledDraws() const { return 0; }
  // Whether a draw with the current states but the setup given writes each
  // fragment it keeps unblended, whatever the picture held there: blending
  // off, or blending that copies a source known to have alpha one everywhere
  // (textures uploaded opaque, not drawn into). False where that is not
  // known.
  virtual bool DrawOverwrites(const DrawSetup&) const { return false; }
  // Hands what was drawn so far to the driver now, so a driver that
  // rasterises on threads of its own works on it while the rest is sent.
  virtual void Submit() {}
};

}  // namespace port::gpu
