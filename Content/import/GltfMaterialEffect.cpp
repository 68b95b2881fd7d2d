#include "import/GltfMaterialEffect.h"

#include <algorithm>
#include <sstream>

namespace gltf_import {

namespace {

void samplerState(std::ostringstream& e, const char* name, const MapSampler& s) {
  e << "sampler2D " << name << " = sampler_state {\n  MinFilter = " << (s.nearest ? "NearestMipmapLinear" : "LinearMipmapLinear")
    << ";\n  MagFilter = " << (s.nearest ? "Nearest" : "Linear") << ";\n  WrapS = " << s.wrapS << ";\n  WrapT = " << s.wrapT
    << ";\n};\n";
}

// The lighting code every imported effect shares: the sRGB transfer curves, the glTF
// metallic-roughness BRDF, one punctual light's contribution and the ambient light.
const char* const kBrdf = R"(
  const float PI = 3.14159265;

  vec3 fromSrgb(vec3 c) {
    return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(vec3(0.04045), c));
  }
  vec3 toSrgb(vec3 c) {
    c = clamp(c, 0.0, 1.0);
    return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(vec3(0.0031308), c));
  }

  struct Surface {
    vec3 n, v, diffuse, f0;
    float alpha;  // roughness squared
  };

  // Light arriving from direction l with irradiance e (on a plane facing it), reflected
  // towards v: (1 - F) diffuse / pi + F D V, times e and the cosine.
  vec3 reflected(Surface s, vec3 l, vec3 e) {
    float nl = dot(s.n, l);
    if (nl <= 0.0) return vec3(0.0);
    vec3 h = normalize(l + s.v);
    float nv = max(dot(s.n, s.v), 1e-4), nh = max(dot(s.n, h), 0.0), vh = max(dot(s.v, h), 0.0);
    float a2 = s.alpha * s.alpha;
    float d = nh * nh * (a2 - 1.0) + 1.0;
    float D = a2 / (PI * d * d);
    float V = 1.0 / ((nl + sqrt(a2 + (1.0 - a2) * nl * nl)) * (nv + sqrt(a2 + (1.0 - a2) * nv * nv)));
    float m = 1.0 - vh, m2 = m * m;
    vec3 F = s.f0 + (1.0 - s.f0) * (m2 * m2 * m);
    return ((1.0 - F) * s.diffuse / PI + F * D * V) * e * nl;
  }

  // One of the scene's lights: position.w 0 for a directional light (xyz towards it), 1 for a
  // point or spot light at xyz; colour.a its range (0: none); cone the spot's scale and
  // offset on the cosine from its axis (0 and 1 for every other light), eased in smoothly
  // between the outer and the inner cone as Blender's spot blend is.
  vec3 punctual(Surface s, vec3 p, vec4 position, vec4 colour, vec3 axis, vec2 cone) {
    if (position.w == 0.0) return reflected(s, normalize(position.xyz), colour.rgb);
    vec3 d = position.xyz - p;
    float distance2 = max(dot(d, d), 1e-8);
    vec3 l = d * inversesqrt(distance2);
    float falloff = 1.0 / distance2;
    if (colour.a > 0.0) {
      float r = distance2 / (colour.a * colour.a);
      falloff *= clamp(1.0 - r * r, 0.0, 1.0);
    }
    float spot = clamp(dot(axis, -l) * cone.x + cone.y, 0.0, 1.0);
    return reflected(s, l, colour.rgb * falloff * spot * spot * (3.0 - 2.0 * spot));
  }

  // The world's light towards direction d (view space), smoothed as a cosine lobe smooths it:
  // irradiance over pi, from its nine spherical-harmonic terms in the scene's axes.
  vec3 worldLight(vec3 d) {
    vec3 w = viewToWorld * d;
    return ambientSH0 * 0.282095
         + (ambientSH1 * w.y + ambientSH2 * w.z + ambientSH3 * w.x) * (0.488603 * 2.0 / 3.0)
         + (ambientSH4 * (w.x * w.y) * 1.092548 + ambientSH5 * (w.y * w.z) * 1.092548
            + ambientSH6 * (3.0 * w.z * w.z - 1.0) * 0.315392 + ambientSH7 * (w.x * w.z) * 1.092548
            + ambientSH8 * (w.x * w.x - w.y * w.y) * 0.546274) * 0.25;
  }

  // Light from all round: the diffuse part from the world's light around the normal, the
  // specular part from around the mirror direction, with the analytic fit of the split-sum
  // environment term.
  vec3 ambient(Surface s, float roughness) {
    float nv = max(dot(s.n, s.v), 1e-4);
    vec4 r = roughness * vec4(-1.0, -0.0275, -0.572, 0.022) + vec4(1.0, 0.0425, 1.04, -0.04);
    float a004 = min(r.x * r.x, exp2(-9.28 * nv)) * r.x + r.y;
    vec2 ab = vec2(-1.04, 1.04) * a004 + r.zw;
    return s.diffuse * max(worldLight(s.n), 0.0) + (s.f0 * ab.x + ab.y) * max(worldLight(reflect(-s.v, s.n)), 0.0);
  }
)";

}  // namespace

std::string materialEffect(const MaterialShape& shape) {
  std::ostringstream e;
  e << "// Written by pylon import: a glTF metallic-roughness material";
  if (shape.baseColour) e << ", base colour texture";
  if (shape.metallicRoughness) e << ", metallic-roughness texture";
  if (shape.normal) e << ", normal texture";
  if (shape.occlusion) e << ", occlusion texture";
  if (shape.emissive) e << ", emissive texture";
  if (shape.unlit) e << ", unlit";
  e << (shape.alpha == AlphaMode::Blend ? ", blended" : shape.alpha == AlphaMode::Mask ? ", alpha masked" : "")
    << (shape.doubleSided ? ", double-sided" : "") << ".\n"
    << "// The material's own values come from its scene entry; the lights and the ambient colour\n"
       "// from the scene drawing, every frame. Lit in linear space; the colour written is sRGB.\n\n";
  e << "float4 baseColourFactor = {1, 1, 1, 1};\n"
       "float2 metallicRoughness = {1, 1};  // metallic, roughness\n"
       "float3 emissiveFactor = {0, 0, 0};\n"
       "float normalScale = 1;\n"
       "float occlusionStrength = 1;\n"
       "float alphaCutoff = 0.5;\n"
       "float3x3 viewToWorld = {1, 0, 0, 0, 1, 0, 0, 0, 1};\n"
       "float lightCount;\n";
  for (int k = 0; k < 9; ++k) e << "float3 ambientSH" << k << ";\n";
  for (int i = 0; i < kMaxLights; ++i)
    e << "float4 lightPosition" << i << ";\nfloat4 lightColour" << i << ";\nfloat3 lightAxis" << i << ";\nfloat2 lightCone" << i
      << ";\n";
  e << "\n";
  if (shape.baseColour) samplerState(e, "baseMap", shape.baseColourSampler);
  if (shape.metallicRoughness) samplerState(e, "metallicRoughnessMap", shape.metallicRoughnessSampler);
  if (shape.normal) samplerState(e, "normalMap", shape.normalSampler);
  if (shape.occlusion) samplerState(e, "occlusionMap", shape.occlusionSampler);
  if (shape.emissive) samplerState(e, "emissiveMap", shape.emissiveSampler);
  e << "\nglsl_shared {\n  varying vec3 position;\n  varying vec3 normal;\n" << (shape.normal ? "  varying vec3 tangent;\n" : "")
    << "  varying vec2 uv;\n}\n\n"
    << "glsl_vertex litVS {\n  void main() {\n    vec4 p = gl_ModelViewMatrix * gl_Vertex;\n    position = p.xyz;\n"
       "    normal = gl_NormalMatrix * gl_Normal;\n"
    << (shape.normal ? "    tangent = gl_NormalMatrix * gl_MultiTexCoord2.xyz;\n" : "")
    << "    uv = gl_MultiTexCoord0.xy;\n    gl_Position = gl_ProjectionMatrix * p;\n  }\n}\n\n"
    << "glsl_fragment litFS {" << kBrdf << "\n  void main() {\n"
    << "    vec4 base = baseColourFactor;\n";
  if (shape.baseColour) e << "    vec4 texel = texture2D(baseMap, uv);\n    base *= vec4(fromSrgb(texel.rgb), texel.a);\n";
  if (shape.alpha == AlphaMode::Mask) e << "    if (base.a < alphaCutoff) discard;\n";
  if (shape.unlit) {
    // The colour is the base colour: lights, the world and the surface's angle play no part,
    // which also makes it the cheapest effect a surface can have (a sky, a backdrop, a
    // baked model).
    e << "    gl_FragColor = vec4(toSrgb(base.rgb), " << (shape.alpha == AlphaMode::Blend ? "base.a" : "1.0")
      << ");\n  }\n}\n\n";
  } else {
  e << "    float metallic = metallicRoughness.x, roughness = metallicRoughness.y;\n";
  if (shape.metallicRoughness)
    e << "    vec4 mr = texture2D(metallicRoughnessMap, uv);\n    metallic *= mr.b;\n    roughness *= mr.g;\n";
  e << "    metallic = clamp(metallic, 0.0, 1.0);\n    roughness = clamp(roughness, 0.03, 1.0);\n"
    << "    vec3 n = normalize(normal);\n";
  if (shape.doubleSided) e << "    if (!gl_FrontFacing) n = -n;\n";
  if (shape.normal)
    // The bitangent's sense follows the texture's v on screen, so mirrored coordinates map the
    // right way round without a handedness in the vertex data.
    e << "    vec3 t = normalize(tangent - n * dot(n, tangent));\n"
         "    vec3 dpx = dFdx(position), dpy = dFdy(position);\n"
         "    vec2 dux = dFdx(uv), duy = dFdy(uv);\n"
         "    vec3 towardsV = dpy * dux.x - dpx * duy.x;\n"
         "    vec3 b = cross(n, t);\n"
         "    if (dot(b, towardsV) * (dux.x * duy.y - dux.y * duy.x) < 0.0) b = -b;\n"
         "    vec3 m = texture2D(normalMap, uv).xyz * 2.0 - 1.0;\n"
         "    m.xy *= normalScale;\n"
         "    n = normalize(t * m.x + b * m.y + n * m.z);\n";
  e << "    Surface s;\n    s.n = n;\n    s.v = normalize(-position);\n"
       "    s.diffuse = base.rgb * (1.0 - metallic);\n    s.f0 = mix(vec3(0.04), base.rgb, metallic);\n"
       "    s.alpha = roughness * roughness;\n"
       "    vec3 colour = ambient(s, roughness);\n";
  if (shape.occlusion) e << "    colour *= 1.0 + occlusionStrength * (texture2D(occlusionMap, uv).r - 1.0);\n";
  for (int i = 0; i < std::clamp(shape.lights, 0, kMaxLights); ++i)
    e << "    if (lightCount > " << i << ".5) colour += punctual(s, position, lightPosition" << i << ", lightColour" << i
      << ", lightAxis" << i << ", lightCone" << i << ");\n";
  e << "    vec3 emitted = emissiveFactor;\n";
  if (shape.emissive) e << "    emitted *= fromSrgb(texture2D(emissiveMap, uv).rgb);\n";
  e << "    gl_FragColor = vec4(toSrgb(colour + emitted), " << (shape.alpha == AlphaMode::Blend ? "base.a" : "1.0") << ");\n  }\n}\n\n";
  }
  e << "technique main {\n  pass p0 {\n    DepthTestEnable = true;\n    DepthFunc = LEqual;\n    DepthMask = "
    << (shape.alpha == AlphaMode::Blend ? "false" : "true") << ";\n    CullFaceEnable = " << (shape.doubleSided ? "false" : "true")
    << ";\n";
  if (!shape.doubleSided) e << "    CullFace = Back;\n";
  if (shape.alpha == AlphaMode::Blend) e << "    BlendEnable = true;\n    BlendFunc = int2(SrcAlpha, OneMinusSrcAlpha);\n";
  else e << "    BlendEnable = false;\n";
  e << "    VertexProgram = compile glsl120 litVS;\n    FragmentProgram = compile glsl120 litFS;\n  }\n}\n";
  return e.str();
}

}  // namespace gltf_import
