// Toon-shaded skinning for the characters.
// Pass 0: the shaded figure (ramp on stage 0, decal on stage 1, tinted by vCol).
// Pass 1: the outline, the skinned silhouette pushed out along its normals.
// Pass 2: the shaded figure again, for second-pass draws.

param float4x4 mWorldMatrixArray[26];
param float4x4 mVP;
param float4 vLightDir;
param float4 vCol;
param texture DecalTex : 1;
param int CurNumBones;

sampler RampTex : 0;

common %{
#ifdef VERTEX_SHADER
const int kPaletteSize = 26;

// Blends CurNumBones + 1 palette matrices; the last weight makes the sum 1.
void Skin(out vec3 position, out vec3 normal) {
  ivec4 index = BlendIndices();
  float weights[4] = float[4](inBlendWeight.x, inBlendWeight.y, inBlendWeight.z, inBlendWeight.w);
  int bones = clamp(CurNumBones, 0, 3);
  vec4 p = vec4(0.0);
  vec3 n = vec3(0.0);
  float last = 1.0;
  for (int i = 0; i < bones; ++i) {
    mat4 m = mWorldMatrixArray[clamp(index[i], 0, kPaletteSize - 1)];
    p += weights[i] * (m * vec4(inPosition.xyz, 1.0));
    n += weights[i] * (mat3(m) * inNormal);
    last -= weights[i];
  }
  mat4 m = mWorldMatrixArray[clamp(index[bones], 0, kPaletteSize - 1)];
  p += last * (m * vec4(inPosition.xyz, 1.0));
  n += last * (mat3(m) * inNormal);
  position = p.xyz;
  normal = n;
}
#endif
%}

vertex ShadedVS %{
out vec3 normal;
out vec2 uv;
void main() {
  vec3 position;
  Skin(position, normal);
  uv = inTexCoord0;
  gl_Position = ToDeviceClip(mVP * vec4(position, 1.0));
}
%}

fragment ShadedFS %{
in vec3 normal;
in vec2 uv;
void main() {
  vec3 n = length(normal) > 0.0 ? normalize(normal) : vec3(0.0);
  vec3 l = length(vLightDir.xyz) > 0.0 ? normalize(vLightDir.xyz) : vec3(0.0);
  // Half-Lambert picks the ramp texel: the light's direction points away from its source.
  float shade = clamp(dot(n, -l) * 0.5 + 0.5, 0.0, 1.0);
  vec4 colour = vCol * vec4(texture(RampTex, vec2(shade, 0.5)).rgb, 1.0);
  if (DecalTex_bound) colour *= texture(DecalTex, uv);
  FragColor = colour;
}
%}

vertex OutlineVS %{
void main() {
  vec3 position, normal;
  Skin(position, normal);
  vec4 clip = mVP * vec4(position, 1.0);
  // A constant width on screen, whatever the distance.
  vec2 push = (mVP * vec4(normal, 0.0)).xy;
  if (length(push) > 0.0) clip.xy += normalize(push) * 0.008 * clip.w;
  gl_Position = ToDeviceClip(clip);
}
%}

fragment OutlineFS %{
void main() {
  FragColor = vec4(0.0, 0.0, 0.0, 1.0);
}
%}

technique TShader {
  pass P0 {
    VertexShader = ShadedVS;
    FragmentShader = ShadedFS;
  }
  pass P1 {
    VertexShader = OutlineVS;
    FragmentShader = OutlineFS;
  }
  pass P2 {
    VertexShader = ShadedVS;
    FragmentShader = ShadedFS;
  }
}
