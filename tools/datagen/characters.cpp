// The characters: one humanoid skeleton with the frame names the actors look
// up, dressed per character in boxes of its own colours, and its animations.
#include <algorithm>
#include <functional>
#include <map>

#include "datagen/generate.h"
#include "datagen/geometry.h"
#include "datagen/manifest.h"

namespace datagen {

namespace {

enum Joint {
  kModel,
  kCenter,
  kLowerOp,
  kLower,
  kRLeg3,
  kRLeg2,
  kRLeg1,
  kLLeg3,
  kLLeg2,
  kLLeg1,
  kUpperOp,
  kUpper,
  kLArm3,
  kLArm2,
  kLArm1,
  kRArm3,
  kRArm2,
  kRArm1,
  kHead,
  kJointCount
};

struct JointDef {
  const char* name;
  int parent;
  Vec3 offset;      // in the parent's space, before the figure's scale
  float bindPitch;  // degrees about x; limbs point their +z along the limb
};

// Hips and shoulders are mirrored: +x is the figure's right.
const JointDef kJoints[kJointCount] = {
    {"Frame1_model", -1, {0, 0, 0}, 0},
    {"Frame2_center", kModel, {0, 0.65f, 0}, 0},
    {"Frame3_dody_downer_operation", kCenter, {0, 0, 0}, 0},
    {"Frame4_dody_downer", kLowerOp, {0, 0, 0}, 0},
    {"Frame5_right_leg3", kLower, {0.12f, -0.08f, 0}, 90},
    {"Frame6_right_leg2", kRLeg3, {0, 0, 0.27f}, 0},
    {"Frame7_right_leg1", kRLeg2, {0, 0, 0.25f}, -90},
    {"Frame8_left_leg3", kLower, {-0.12f, -0.08f, 0}, 90},
    {"Frame9_left_leg2", kLLeg3, {0, 0, 0.27f}, 0},
    {"Frame10_left_leg1", kLLeg2, {0, 0, 0.25f}, -90},
    {"Frame11_body_upper_operation", kCenter, {0, 0, 0}, 0},
    {"Frame12_body_upper", kUpperOp, {0, 0.05f, 0}, 0},
    {"Frame13_left_arm3", kUpper, {-0.27f, 0.38f, 0}, 90},
    {"Frame14_left_arm2", kLArm3, {0, 0, 0.2f}, 0},
    {"Frame15_left_arm1", kLArm2, {0, 0, 0.18f}, 0},
    {"Frame16_right_arm3", kUpper, {0.27f, 0.38f, 0}, 90},
    {"Frame17_right_arm2", kRArm3, {0, 0, 0.2f}, 0},
    {"Frame18_right_arm1", kRArm2, {0, 0, 0.18f}, 0},
    {"Frame19_head", kUpper, {0, 0.42f, 0}, -90},
};

struct Extra {
  int joint;
  Vec3 offset;  // from the joint's bind position, model axes, before scale
  Vec3 half;
  uint32_t colour;
};

struct Figure {
  std::string folder;
  float scale = 1, girth = 1, head = 1, limb = 1, legs = 1;
  float neck = 0.42f;  // the head's joint over the chest's
  uint32_t skin = 0xFFD8B0, shirt = 0x3070E0, pants = 0x304070, shoes = 0x803020, hands = 0xFFD8B0,
           hair = 0x5A3418, eyes = 0x101010;
  uint32_t face = 0;       // the head's own colour; 0: the skin's
  float faceGlow = 0.25f;  // how much the face lights itself where the sun grazes it
  std::vector<Extra> extras;
  bool binary = false;
};

Figure Named(const char* folder) {
  Figure f;
  f.folder = folder;
  return f;
}

std::vector<Figure> Figures() {
  std::vector<Figure> f;
  // The players stand 1.4 units tall: the stage camera looks at 0.65 over the
  // origin, which sits 1 unit over the feet, so from behind it sees over the
  // head the shots flying on ahead.
  {
    Figure p = Named("Xfile/player/");
    p.scale = 0.9f;
    p.extras = {{kHead, {0, 0.39f, 0}, {0.21f, 0.04f, 0.2f}, 0xE03030},         // cap
                {kHead, {0, 0.36f, 0.22f}, {0.16f, 0.015f, 0.08f}, 0xE03030}};  // brim
    f.push_back(p);
  }
  {
    Figure p = Named("Xfile/battleplayer2p/");
    p.scale = 0.9f;
    p.shirt = 0xF0C020;
    p.pants = 0x8A5A20;
    p.hair = 0xF08020;
    p.extras = {{kHead, {0.24f, 0.2f, -0.05f}, {0.06f, 0.12f, 0.06f}, 0xF08020},
                {kHead, {-0.24f, 0.2f, -0.05f}, {0.06f, 0.12f, 0.06f}, 0xF08020}};
    f.push_back(p);
  }
  {
    Figure p = Named("Xfile/battleplayer3p/");
    p.scale = 0.9f;
    p.shirt = 0x30B050;
    p.pants = 0x205030;
    p.hair = 0x203020;
    p.binary = true;
    p.extras = {{kHead, {0, 0.4f, 0}, {0.24f, 0.03f, 0.24f}, 0x207040},
                {kHead, {0, 0.5f, 0}, {0.14f, 0.08f, 0.14f}, 0x207040},
                {kHead, {0, 0.62f, -0.03f}, {0.07f, 0.06f, 0.07f}, 0x207040}};
    f.push_back(p);
  }
  {
    Figure p = Named("Xfile/battleplayer4p/");
    p.scale = 0.86f;
    p.shirt = 0x9040D0;
    p.pants = 0x402060;
    p.hair = 0xF0F0F0;
    p.binary = true;
    p.extras = {{kHead, {0.1f, 0.5f, 0}, {0.04f, 0.14f, 0.03f}, 0xF0F0F0},
                {kHead, {-0.1f, 0.5f, 0}, {0.04f, 0.14f, 0.03f}, 0xF0F0F0}};
    f.push_back(p);
  }
  {
    Figure z = Named("Xfile/zako1/");
    z.scale = 0.75f;
    z.girth = 1.35f;
    z.head = 1.1f;
    z.skin = 0xE04040;
    z.shirt = 0xD03030;
    z.pants = 0x902020;
    z.hands = 0xE04040;
    z.hair = 0xFFE060;
    z.extras = {{kHead, {0, 0.46f, 0}, {0.04f, 0.08f, 0.04f}, 0xFFE060}};
    f.push_back(z);
  }
  {
    Figure z = Named("Xfile/zako2/");
    z.scale = 0.85f;
    z.skin = 0xA0A8B0;
    z.shirt = 0x707880;
    z.pants = 0x505860;
    z.hands = 0x404850;
    z.hair = 0x707880;
    z.eyes = 0x20F0F0;
    z.extras = {{kHead, {0, 0.48f, 0}, {0.015f, 0.1f, 0.015f}, 0x404850},
                {kHead, {0, 0.6f, 0}, {0.04f, 0.04f, 0.04f}, 0xF03030}};
    f.push_back(z);
  }
  {
    Figure z = Named("Xfile/zako3/");
    z.scale = 0.9f;
    z.skin = 0x6090E0;
    z.shirt = 0x3050C0;
    z.pants = 0x203080;
    z.hands = 0x6090E0;
    z.hair = 0xF0F0F0;
    z.binary = true;
    z.extras = {{kUpper, {0, 0.35f, -0.17f}, {0.05f, 0.05f, 0.08f}, 0xF0F0F0},
                {kUpper, {0, 0.2f, -0.19f}, {0.05f, 0.05f, 0.08f}, 0xF0F0F0},
                {kUpper, {0, 0.05f, -0.18f}, {0.05f, 0.05f, 0.08f}, 0xF0F0F0}};
    f.push_back(z);
  }
  {
    Figure z = Named("Xfile/zako4/");
    z.skin = 0x60A060;
    z.shirt = 0x305030;
    z.pants = 0x203020;
    z.hands = 0x60A060;
    z.hair = 0x202020;
    z.eyes = 0xF0D020;
    z.binary = true;
    z.extras = {{kHead, {0.16f, 0.42f, 0}, {0.035f, 0.1f, 0.035f}, 0xE0E0C0},
                {kHead, {-0.16f, 0.42f, 0}, {0.035f, 0.1f, 0.035f}, 0xE0E0C0},
                {kRArm3, {0.03f, 0.04f, 0}, {0.1f, 0.05f, 0.1f}, 0x505050},
                {kLArm3, {-0.03f, 0.04f, 0}, {0.1f, 0.05f, 0.1f}, 0x505050}};
    f.push_back(z);
  }
  // The bosses' entrance close-up looks from a fixed eye at 0.2 under the
  // origin and sees up to about 0.45 over it: each boss keeps its face under
  // that, with a big head on short legs, and its headgear makes up the height.
  // The faces have colours of their own and light themselves a little, as the
  // close-up turns them square to a sun that may only graze them.
  {
    Figure b = Named("Xfile/1boss/");
    b.girth = 1.8f;
    b.limb = 1.6f;
    b.head = 1.5f;
    b.legs = 0.4f;
    b.skin = 0xC09060;
    b.face = 0xF09070;
    b.faceGlow = 0.6f;
    b.shirt = 0x805030;
    b.pants = 0x503020;
    b.hands = 0xC09060;
    b.hair = 0x302010;
    b.extras = {{kUpper, {0, 0.15f, 0.12f}, {0.26f, 0.16f, 0.1f}, 0xD0A070},  // belly
                {kHead, {0, 0.41f, 0}, {0.17f, 0.06f, 0.17f}, 0xF0C020},      // crown
                {kHead, {0.12f, 0.56f, 0}, {0.035f, 0.16f, 0.035f}, 0xF0C020},
                {kHead, {-0.12f, 0.56f, 0}, {0.035f, 0.16f, 0.035f}, 0xF0C020},
                {kHead, {0, 0.7f, 0}, {0.04f, 0.26f, 0.04f}, 0xF0C020}};
    f.push_back(b);
  }
  {
    Figure b = Named("Xfile/2boss/");
    // Its hands and feet shoot and stamp, so its limbs stay as they were; the
    // helmet sits sunk between the shoulders, low enough for the close-up.
    b.scale = 1.3f;
    b.girth = 1.2f;
    b.limb = 1.3f;
    b.head = 1.3f;
    b.neck = -0.13f;
    b.skin = 0xC0C8D0;
    b.face = 0xF0D890;   // a gilt visor
    b.faceGlow = 0.45f;  // stage 2's sun stands in front of it
    b.shirt = 0x9098A8;
    b.pants = 0x606878;
    b.hands = 0x505860;
    b.hair = 0xC0C8D0;
    b.eyes = 0xF02020;
    b.extras = {{kHead, {0, 0.66f, -0.05f}, {0.03f, 0.4f, 0.16f}, 0xD02020},  // plume
                {kRArm3, {0.04f, 0.05f, 0}, {0.12f, 0.06f, 0.12f}, 0x707888},
                {kLArm3, {-0.04f, 0.05f, 0}, {0.12f, 0.06f, 0.12f}, 0x707888}};
    f.push_back(b);
  }
  {
    Figure b = Named("Xfile/3boss/");
    b.head = 1.4f;
    b.legs = 0.45f;
    b.skin = 0xE0D0F0;
    b.face = 0xC8F0C0;
    b.faceGlow = 0.6f;
    b.shirt = 0x502080;
    b.pants = 0x301050;
    b.hands = 0xE0D0F0;
    b.hair = 0x301050;
    b.binary = true;
    b.extras = {{kHead, {0, 0.41f, 0}, {0.3f, 0.03f, 0.3f}, 0x301050},  // hat brim
                {kHead, {0, 0.57f, 0}, {0.15f, 0.18f, 0.15f}, 0x301050},
                {kHead, {0, 0.81f, 0}, {0.08f, 0.16f, 0.08f}, 0x301050},
                {kUpper, {0, 0.12f, -0.17f}, {0.24f, 0.32f, 0.02f}, 0xA02040}};  // cape
    f.push_back(b);
  }
  return f;
}

struct Skeleton {
  Mat4 bindLocal[kJointCount];
  Mat4 bindWorld[kJointCount];
  Vec3 offset[kJointCount];  // scaled
  float scale;
};

Skeleton BuildSkeleton(const Figure& fig) {
  Skeleton s;
  s.scale = fig.scale;
  for (int j = 0; j < kJointCount; ++j) {
    const JointDef& d = kJoints[j];
    Vec3 o = d.offset * fig.scale;
    if (j == kRLeg2 || j == kLLeg2 || j == kRLeg1 || j == kLLeg1) o = o * fig.legs;
    if (j == kHead) o.y = fig.neck * fig.scale;
    // The feet stay at y = -1 whatever the legs' length (0.52 of the 0.65).
    if (j == kCenter) o.y = -1.0f + (0.65f - 0.52f * (1.0f - fig.legs)) * fig.scale;
    if (j == kRLeg3 || j == kLLeg3) o.x *= fig.girth;
    if (j == kRArm3 || j == kLArm3) o.x *= 0.5f + 0.5f * fig.girth;
    s.offset[j] = o;
    s.bindLocal[j] = Mat4::RotX(Rad(d.bindPitch)) * Mat4::Translation(o);
    s.bindWorld[j] = d.parent < 0 ? s.bindLocal[j] : s.bindLocal[j] * s.bindWorld[d.parent];
  }
  return s;
}

Vec3 JointPos(const Skeleton& s, int j) { return s.bindWorld[j].Point({0, 0, 0}); }

Mesh BuildBody(const Figure& fig, const Skeleton& sk) {
  Mesh m;
  const float s = fig.scale, g = fig.girth, l = fig.limb, h = fig.head;
  int skin = m.AddMaterial(Paint(fig.skin)), shirt = m.AddMaterial(Paint(fig.shirt)),
      pants = m.AddMaterial(Paint(fig.pants)), shoes = m.AddMaterial(Paint(fig.shoes)),
      hands = m.AddMaterial(Paint(fig.hands)), hair = m.AddMaterial(Paint(fig.hair)),
      eyes = m.AddMaterial(Paint(fig.eyes, 0.6f));
  auto between = [&](int a, int b) { return (JointPos(sk, a) + JointPos(sk, b)) * 0.5f; };
  Vec3 centre = JointPos(sk, kCenter);
  m.Box(centre + Vec3{0, -0.03f * s, 0}, Vec3{0.19f * g, 0.09f, 0.12f * g} * s, pants, kLower);
  m.Box(centre + Vec3{0, 0.25f * s, 0}, Vec3{0.2f * g, 0.21f, 0.13f * g} * s, shirt, kUpper);
  const int legs[2][3] = {{kRLeg3, kRLeg2, kRLeg1}, {kLLeg3, kLLeg2, kLLeg1}};
  for (const auto& leg : legs) {
    Vec3 c = between(leg[0], leg[1]);
    m.Box(c, Vec3{0.065f * l, 0.15f * fig.legs, 0.065f * l} * s, pants, leg[0]);
    c = between(leg[1], leg[2]);
    m.Box(c, Vec3{0.055f * l, 0.135f * fig.legs, 0.055f * l} * s, pants, leg[1]);
    Vec3 ankle = JointPos(sk, leg[2]);
    m.Box(ankle + Vec3{0, -0.0f, 0.05f * s}, Vec3{0.07f * l, 0.05f, 0.11f} * s, shoes, leg[2]);
  }
  const int arms[2][3] = {{kRArm3, kRArm2, kRArm1}, {kLArm3, kLArm2, kLArm1}};
  for (const auto& arm : arms) {
    m.Box(between(arm[0], arm[1]), Vec3{0.055f * l, 0.11f, 0.055f * l} * s, shirt, arm[0]);
    m.Box(between(arm[1], arm[2]), Vec3{0.05f * l, 0.1f, 0.05f * l} * s, skin, arm[1]);
    m.Box(JointPos(sk, arm[2]) + Vec3{0, -0.05f * s, 0}, Vec3{0.06f * l, 0.06f, 0.06f * l} * s,
          hands, arm[2]);
  }
  Vec3 neck = JointPos(sk, kHead);
  int face = fig.face || fig.faceGlow != 0.25f
                 ? m.AddMaterial(Paint(fig.face ? fig.face : fig.skin, fig.faceGlow))
                 : skin;
  m.Box(neck + Vec3{0, 0.19f * h * s, 0}, Vec3{0.2f, 0.19f, 0.19f} * (h * s), face, kHead);
  m.Box(neck + Vec3{0, 0.33f * h * s, -0.02f * s}, Vec3{0.21f, 0.06f, 0.19f} * (h * s), hair,
        kHead);
  for (float side : {-1.0f, 1.0f})
    m.Box(neck + Vec3{side * 0.08f * h * s, 0.21f * h * s, 0.19f * h * s},
          Vec3{0.03f, 0.045f, 0.01f} * (h * s), eyes, kHead);
  for (const Extra& e : fig.extras) {
    int mat = m.AddMaterial(Paint(e.colour));
    Vec3 off = e.offset * s;
    if (e.joint == kHead) off = Vec3{off.x * h, off.y * h, off.z * h};
    m.Box(JointPos(sk, e.joint) + off, e.half * s, mat, e.joint);
  }
  return m;
}

// A pose: rotation deltas per joint (degrees about the joint's own x, y, z)
// and an offset of the centre.
struct Pose {
  Vec3 rot[kJointCount];
  Vec3 lift;
};

Pose Mix(const Pose& a, const Pose& b, float t) {
  Pose r;
  for (int j = 0; j < kJointCount; ++j) r.rot[j] = a.rot[j] + (b.rot[j] - a.rot[j]) * t;
  r.lift = a.lift + (b.lift - a.lift) * t;
  return r;
}

float Smooth(float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

// Piecewise blend through key poses at the given phases.
Pose Through(const std::vector<std::pair<float, Pose>>& keys, float p) {
  if (p <= keys.front().first) return keys.front().second;
  for (size_t i = 1; i < keys.size(); ++i)
    if (p <= keys[i].first) {
      float t = (p - keys[i - 1].first) / (keys[i].first - keys[i - 1].first);
      return Mix(keys[i - 1].second, keys[i].second, Smooth(t));
    }
  return keys.back().second;
}

// Arms hang slightly out from the body at rest.
Pose Rest() {
  Pose p;
  p.rot[kRArm3].y = 8;
  p.rot[kLArm3].y = -8;
  p.rot[kRArm2].x = -10;
  p.rot[kLArm2].x = -10;
  return p;
}

// Forward swing of a limb (degrees; negative swings back).
void Swing(Pose& p, int joint, float fwd) { p.rot[joint].x = -fwd; }
// Sideways raise of an arm or leg, away from the body.
void Raise(Pose& p, int joint, bool right, float deg) { p.rot[joint].y = right ? deg : -deg; }

Pose Stride(float s, float legAmp, float kneeAmp, float armAmp, float elbow, float lean) {
  Pose p = Rest();
  Swing(p, kRLeg3, legAmp * s);
  Swing(p, kLLeg3, -legAmp * s);
  p.rot[kRLeg2].x = kneeAmp * std::max(0.0f, -s) + 5;
  p.rot[kLLeg2].x = kneeAmp * std::max(0.0f, s) + 5;
  Swing(p, kRArm3, -armAmp * s);
  Swing(p, kLArm3, armAmp * s);
  p.rot[kRArm2].x = -elbow;
  p.rot[kLArm2].x = -elbow;
  p.rot[kUpper].x = lean;
  p.rot[kUpper].y = 6 * s;
  return p;
}

Pose PunchPose(bool right, float reach) {
  Pose p = Rest();
  int sh = right ? kRArm3 : kLArm3, el = right ? kRArm2 : kLArm2;
  Swing(p, sh, reach);
  p.rot[el].x = -10;
  p.rot[kUpper].y = right ? -20 : 20;
  p.rot[kUpper].x = 8;
  Swing(p, kRLeg3, right ? -10 : 15);
  Swing(p, kLLeg3, right ? 15 : -10);
  return p;
}

Pose WindUp(bool right) {
  Pose p = Rest();
  int sh = right ? kRArm3 : kLArm3, el = right ? kRArm2 : kLArm2;
  Swing(p, sh, -35);
  p.rot[el].x = -70;
  p.rot[kUpper].y = right ? 25 : -25;
  return p;
}

Pose BothForward(float reach) {
  Pose p = Rest();
  Swing(p, kRArm3, reach);
  Swing(p, kLArm3, reach);
  p.rot[kRArm2].x = -5;
  p.rot[kLArm2].x = -5;
  p.rot[kUpper].x = 12;
  Swing(p, kRLeg3, 20);
  Swing(p, kLLeg3, -15);
  return p;
}

Pose ArmsUp(float spread) {
  Pose p = Rest();
  Swing(p, kRArm3, 165);
  Swing(p, kLArm3, 165);
  Raise(p, kRArm3, true, spread);
  Raise(p, kLArm3, false, spread);
  p.rot[kRArm2].x = -15;
  p.rot[kLArm2].x = -15;
  return p;
}

Pose Hurt() {
  Pose p = Rest();
  p.rot[kUpper].x = -28;
  p.rot[kCenter].x = -8;
  p.rot[kHead].x = 20;
  Swing(p, kRArm3, 50);
  Swing(p, kLArm3, 40);
  Raise(p, kRArm3, true, 35);
  Raise(p, kLArm3, false, 35);
  Swing(p, kRLeg3, 20);
  p.rot[kRLeg2].x = 25;
  return p;
}

Pose Crouch() {
  Pose p = Rest();
  Swing(p, kRLeg3, 45);
  Swing(p, kLLeg3, 35);
  p.rot[kRLeg2].x = 75;
  p.rot[kLLeg2].x = 65;
  p.rot[kUpper].x = 15;
  Swing(p, kRArm3, -30);
  Swing(p, kLArm3, -30);
  return p;
}

Pose Lying(float scale) {
  Pose p = Rest();
  p.rot[kCenter].x = -85;
  p.lift = {0, -(0.65f * scale - 0.15f * scale), -0.2f * scale};
  Raise(p, kRArm3, true, 70);
  Raise(p, kLArm3, false, 70);
  Raise(p, kRLeg3, true, 15);
  Raise(p, kLLeg3, false, 15);
  p.rot[kHead].x = 10;
  return p;
}

Pose Sample(Motion m, float p, float scale) {
  const float tau = 2 * kPi;
  float s = std::sin(tau * p), c = std::cos(tau * p);
  Pose r;
  switch (m) {
    case Motion::Idle:
      r = Rest();
      r.lift.y = 0.012f * scale * (1 - c) * 0.5f;
      r.rot[kUpper].x = 2 * s;
      r.rot[kRArm3].y += 3 * s;
      r.rot[kLArm3].y -= 3 * s;
      return r;
    case Motion::Walk:
      r = Stride(s, 25, 30, 22, 15, 3);
      r.lift.y = 0.025f * scale * std::fabs(s);
      return r;
    case Motion::Run:
      r = Stride(s, 45, 60, 45, 75, 15);
      r.lift.y = 0.06f * scale * std::fabs(s);
      return r;
    case Motion::SideWalk:
      r = Rest();
      Raise(r, kRLeg3, true, 12 + 12 * s);
      Raise(r, kLLeg3, false, 12 - 12 * s);
      Raise(r, kRArm3, true, 25);
      Raise(r, kLArm3, false, 25);
      r.rot[kUpper].z = 5 * s;
      r.lift.y = 0.02f * scale * std::fabs(s);
      return r;
    case Motion::Attack:
    case Motion::AttackLeft: {
      bool right = m == Motion::Attack;
      return Through({{0, Rest()},
                      {0.25f, WindUp(right)},
                      {0.5f, PunchPose(right, 95)},
                      {0.7f, PunchPose(right, 90)},
                      {1, Rest()}},
                     p);
    }
    case Motion::AttackBoth:
      return Through({{0, Rest()},
                      {0.3f, Crouch()},
                      {0.55f, BothForward(95)},
                      {0.8f, BothForward(90)},
                      {1, Rest()}},
                     p);
    case Motion::AttackHold:
      return PunchPose(true, 95);
    case Motion::Throw:
    case Motion::Cast: {
      Pose up = ArmsUp(m == Motion::Cast ? 30 : 10);
      up.rot[kUpper].x = -15;
      return Through({{0, Rest()},
                      {0.45f, up},
                      {0.62f, BothForward(80)},
                      {0.8f, BothForward(70)},
                      {1, Rest()}},
                     p);
    }
    case Motion::Spin:
      r = Rest();
      Raise(r, kRArm3, true, 85);
      Raise(r, kLArm3, false, 85);
      r.rot[kCenter].y = 360 * Smooth(p);
      r.lift.y = 0.1f * scale * std::sin(kPi * p);
      return r;
    case Motion::Damage:
      r = Through({{0, Rest()}, {0.15f, Hurt()}, {0.7f, Hurt()}, {1, Rest()}}, p);
      r.rot[kHead].z = 10 * s;
      return r;
    case Motion::DamageHold:
      return Hurt();
    case Motion::Jump:
      r = Crouch();
      Swing(r, kRArm3, 140 + 10 * s);
      Swing(r, kLArm3, 140 - 10 * s);
      Raise(r, kRArm3, true, 25);
      Raise(r, kLArm3, false, 25);
      return r;
    case Motion::JumpDash:
      r = Crouch();
      r.rot[kCenter].x = 35;
      Swing(r, kRArm3, -50);
      Swing(r, kLArm3, -50);
      Swing(r, kRLeg3, -20 + 5 * s);
      Swing(r, kLLeg3, 10 - 5 * s);
      return r;
    case Motion::TimeUp:
      r = Rest();
      r.rot[kUpper].x = 35;
      r.rot[kHead].x = 10 + 6 * s;
      Swing(r, kRArm3, 40);
      Swing(r, kLArm3, 40);
      Swing(r, kRLeg3, 20);
      Swing(r, kLLeg3, 20);
      r.rot[kRLeg2].x = 30;
      r.rot[kLLeg2].x = 30;
      r.lift.y = -0.05f * scale + 0.01f * scale * s;
      return r;
    case Motion::Fall:
      return Through({{0, Hurt()}, {0.12f, Hurt()}, {0.45f, Lying(scale)}, {1, Lying(scale)}}, p);
    case Motion::SpinHold:
      r = Rest();
      r.rot[kCenter].x = -60;
      Raise(r, kRArm3, true, 100);
      Raise(r, kLArm3, false, 100);
      Raise(r, kRLeg3, true, 30);
      Raise(r, kLLeg3, false, 30);
      return r;
    case Motion::Cheer:
      r = ArmsUp(25);
      r.rot[kRArm3].x += 15 * s;
      r.rot[kLArm3].x -= 15 * s;
      r.lift.y = 0.15f * scale * std::fabs(std::sin(2 * kPi * p));
      return r;
    case Motion::Dizzy:
      r = Rest();
      r.rot[kUpper].z = 15 * s;
      r.rot[kHead].y = 20 * c;
      r.rot[kCenter].y = 10 * s;
      Swing(r, kRArm3, 20 * c);
      Swing(r, kLArm3, -20 * c);
      r.rot[kRLeg2].x = 20;
      r.rot[kLLeg2].x = 20;
      r.lift.y = -0.04f * scale;
      return r;
    case Motion::Pose:
      r = Rest();
      Swing(r, kRArm3, 150);
      Raise(r, kRArm3, true, 25);
      r.rot[kRArm2].x = -20 - 10 * s;
      Raise(r, kLArm3, false, 40);
      Swing(r, kLArm3, -10);
      r.rot[kLArm2].x = -100;
      r.rot[kUpper].z = -8;
      r.rot[kHead].z = 8 * s;
      r.lift.y = 0.02f * scale * (1 - c);
      return r;
    case Motion::Pause:
      r = Rest();
      r.rot[kHead].z = 40 * s;
      r.rot[kUpper].y = 12 * s;
      Swing(r, kRArm3, 20);
      Swing(r, kLArm3, 20);
      return r;
    case Motion::Levy:
      r = ArmsUp(60);
      r.rot[kRArm3].y += 10 * s;
      r.rot[kLArm3].y -= 10 * s;
      r.rot[kHead].x = -10;
      r.lift.y = 0.1f * scale * (1 - c);
      return r;
    case Motion::Roar:
      r = ArmsUp(60);
      r.rot[kRArm3].y += 10 * s;
      r.rot[kLArm3].y -= 10 * s;
      r.rot[kHead].x = -10;
      return r;
    case Motion::StepRight:
    case Motion::StepLeft: {
      float side = m == Motion::StepRight ? 1.0f : -1.0f;
      Pose lean = Rest();
      lean.rot[kCenter].z = -18 * side;
      Raise(lean, kRLeg3, true, side > 0 ? 30 : 5);
      Raise(lean, kLLeg3, false, side > 0 ? 5 : 30);
      Raise(lean, kRArm3, true, 40);
      Raise(lean, kLArm3, false, 40);
      lean.lift = Vec3{0.0f, 0.1f * scale, 0.0f};
      return Through({{0, Rest()}, {0.3f, lean}, {0.7f, lean}, {1, Rest()}}, p);
    }
    case Motion::Blow:
      return Through({{0, Rest()},
                      {0.35f, WindUp(true)},
                      {0.55f, BothForward(100)},
                      {0.8f, BothForward(95)},
                      {1, Rest()}},
                     p);
    case Motion::Stomp: {
      Pose lift = ArmsUp(40);
      Swing(lift, kRLeg3, 80);
      lift.rot[kRLeg2].x = 70;
      Pose down = Crouch();
      Raise(down, kRArm3, true, 60);
      Raise(down, kLArm3, false, 60);
      return Through({{0, Rest()}, {0.4f, lift}, {0.6f, down}, {1, Rest()}}, p);
    }
  }
  return Rest();
}

bool Loops(Motion m) {
  switch (m) {
    case Motion::Idle:
    case Motion::Walk:
    case Motion::Run:
    case Motion::SideWalk:
    case Motion::Dizzy:
    case Motion::Cheer:
    case Motion::Pose:
    case Motion::Pause:
    case Motion::Levy:
    case Motion::Roar:
    case Motion::TimeUp:
    case Motion::Jump:
    case Motion::JumpDash:
      return true;
    default:
      return false;
  }
}

Mat4 PoseLocal(const Skeleton& sk, int j, const Pose& pose) {
  const Vec3& r = pose.rot[j];
  Mat4 d = Mat4::RotX(Rad(r.x)) * Mat4::RotY(Rad(r.y)) * Mat4::RotZ(Rad(r.z));
  return d * Mat4::RotX(Rad(kJoints[j].bindPitch));
}

std::vector<XNode> FrameTree(const Skeleton& sk, const Mesh* body,
                             const std::vector<SkinBone>* bones) {
  std::map<int, XNode> nodes;
  for (int j = kJointCount - 1; j >= 0; --j) {
    XNode n("Frame", kJoints[j].name);
    n.Add(MatrixNode(sk.bindLocal[j]));
    for (int k = j + 1; k < kJointCount; ++k)
      if (kJoints[k].parent == j) n.Add(std::move(nodes[k]));
    nodes[j] = std::move(n);
  }
  if (body) nodes[kModel].Add(MeshNode(*body, "body", bones));
  std::vector<XNode> top;
  top.push_back(std::move(nodes[kModel]));
  return top;
}

XNode AnimationSetNode(const Skeleton& sk, const AnimFile& file) {
  std::string setName = file.name.substr(0, file.name.rfind('.'));
  XNode set("AnimationSet", setName);
  const int L = file.length;
  bool looping = Loops(file.motion);
  int steps = std::clamp(L / 4, 4, 16);
  if (file.motion == Motion::Spin) steps = std::max(steps, 12);
  std::vector<int> times;
  for (int k = 0; k <= steps; ++k) {
    int t = static_cast<int>(std::lround(static_cast<double>(L) * k / steps));
    if (times.empty() || t > times.back()) times.push_back(t);
  }
  std::vector<Pose> poses;
  for (int t : times) {
    float p = static_cast<float>(t) / static_cast<float>(L);
    // A loop's last key is its first, so the cycle closes.
    if (looping && t == L) p = 0;
    poses.push_back(Sample(file.motion, p, sk.scale));
  }
  // Every body frame, the centre last so that it heads the set.
  for (int j = kJointCount - 1; j >= kCenter; --j) {
    XNode anim("Animation");
    anim.Ref(kJoints[j].name);
    XNode rot("AnimationKey");
    rot.Int(0, ";\n").Int(static_cast<uint32_t>(times.size()), ";\n");
    Quat prev;
    for (size_t k = 0; k < times.size(); ++k) {
      Quat q = QuatFromMatrix(PoseLocal(sk, j, poses[k]));
      // Stored conjugated, as the format keeps its rotations.
      Quat f{-q.x, -q.y, -q.z, q.w};
      if (k > 0 && f.x * prev.x + f.y * prev.y + f.z * prev.z + f.w * prev.w < 0)
        f = {-f.x, -f.y, -f.z, -f.w};
      prev = f;
      rot.Int(static_cast<uint32_t>(times[k])).Int(4);
      rot.Float(f.w, ",").Float(f.x, ",").Float(f.y, ",").Float(
          f.z, k + 1 == times.size() ? ";;;\n" : ";;,\n");
    }
    anim.Add(std::move(rot));
    if (j == kCenter) {
      XNode posKey("AnimationKey");
      posKey.Int(2, ";\n").Int(static_cast<uint32_t>(times.size()), ";\n");
      for (size_t k = 0; k < times.size(); ++k) {
        Vec3 o = sk.offset[j] + poses[k].lift;
        posKey.Int(static_cast<uint32_t>(times[k])).Int(3);
        posKey.Float(o.x, ",").Float(o.y, ",").Float(o.z,
                                                     k + 1 == times.size() ? ";;;\n" : ";;,\n");
      }
      anim.Add(std::move(posKey));
    }
    set.Add(std::move(anim));
  }
  return set;
}

}  // namespace

void GenerateCharacters(Output& out) {
  std::vector<Figure> figures = Figures();
  for (const CharacterFiles& files : Characters()) {
    auto fig = std::find_if(figures.begin(), figures.end(),
                            [&](const Figure& f) { return f.folder == files.folder; });
    if (fig == figures.end()) throw GenError("no figure for " + files.folder);
    Skeleton sk = BuildSkeleton(*fig);
    Mesh body = BuildBody(*fig, sk);
    std::vector<SkinBone> bones;
    for (int j = 0; j < kJointCount; ++j)
      bones.push_back({kJoints[j].name, sk.bindWorld[j].RigidInverse()});
    std::vector<XNode> model = FrameTree(sk, &body, &bones);
    model.push_back(AnimationSetNode(sk, files.files[0]));
    WriteX(out, files.folder + files.files[0].name, model, fig->binary);
    // Animation files carry the bare frame tree so their references resolve.
    std::vector<AnimFile> rest(files.files.begin() + 1, files.files.end());
    rest.insert(rest.end(), files.extras.begin(), files.extras.end());
    for (const AnimFile& f : rest) {
      std::vector<XNode> top = FrameTree(sk, nullptr, nullptr);
      top.push_back(AnimationSetNode(sk, f));
      WriteX(out, files.folder + f.name, top, fig->binary);
    }
  }
}

void WriteX(Output& out, const std::string& path, const std::vector<XNode>& top, bool binary) {
  out.Write(path, binary ? EncodeXBinary(top) : EncodeXText(top));
}

}  // namespace datagen
