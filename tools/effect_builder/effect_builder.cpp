// Writes the binary form of data/pellix.fx for the tests under Wine, whose D3DX cannot compile
// text effects. The shaders are the same as the text effect's, written in shader assembly:
// the same parameters, one technique, pass 0 (refraction) and pass 1 (display), the same use
// of the vertex data. Run by the tests' fixture "effect": effect_builder <output file> [culled].
// "culled" writes the variant whose passes cull counterclockwise triangles (Direct3D's usual
// back faces), as a modder's effect may, for the test that the picture keeps every triangle.
#include <d3dx9.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tools/effect_builder/effect_writer.h"

using namespace effect_writer;

namespace {

// matWVP is a row-major effect parameter bound through the constant table as column-major
// c0..c3, so D3DX uploads its transpose and m4x4 gives position x matWVP (row vectors).
const char kRefractionVS[] =
    "vs_2_0\n"
    "def c4, 0.5, 0, 1, 0\n"
    "dcl_position v0\n"
    "dcl_normal v1\n"
    "dcl_texcoord0 v3\n"
    "m4x4 r0, v0, c0\n"
    "mov oPos, r0\n"
    // scene-copy coordinate of the vertex: ((x + w) / 2, (w - y) / 2, 0, w)
    "add r1.x, r0.x, r0.w\n"
    "add r1.y, r0.w, -r0.y\n"
    "mul r1.xy, r1, c4.x\n"
    "mov r1.z, c4.y\n"
    "mov r1.w, r0.w\n"
    "mov oT0, r1\n"
    // the same for the anchor, taken as a point
    "mov r2.xyz, v1\n"
    "mov r2.w, c4.z\n"
    "m4x4 r3, r2, c0\n"
    "add r4.x, r3.x, r3.w\n"
    "add r4.y, r3.w, -r3.y\n"
    "mul r4.xy, r4, c4.x\n"
    "mov r4.z, c4.y\n"
    "mov r4.w, r3.w\n"
    "mov oT1, r4\n"
    // u, v, tail bias
    "mov oT2.xy, v3\n"
    "mov oT2.z, v3.w\n";

const char kRefractionPS[] =
    "ps_2_0\n"
    "def c0, 1, 0.35, 0, 0\n"
    "dcl t0\n"
    "dcl t1\n"
    "dcl t2.xyz\n"
    "dcl_2d s0\n"
    "rcp r0.w, t0.w\n"
    "mul r0.xy, t0, r0.w\n"  // here
    "rcp r1.w, t1.w\n"
    "mul r1.xy, t1, r1.w\n"  // centre
    "mul r2.xy, t2, t2\n"
    "add r2.x, r2.x, r2.y\n"
    "rsq r2.y, r2.x\n"
    "rcp r2.z, r2.y\n"             // length(u, v)
    "add_sat r2.w, c0.x, -r2.z\n"  // lens
    "add r3.xy, r1, -r0\n"
    "mul r3.xy, r3, r2.w\n"
    "mad r3.xy, r3, c0.y, r0\n"
    "mov r3.zw, c0.z\n"
    "texld r4, r3, s0\n"
    "add_sat r5.x, c0.x, t2.z\n"  // along: 1 + tail bias
    "mul r4.w, r2.w, r5.x\n"
    "mov oC0, r4\n";

const char kDisplayVS[] =
    "vs_2_0\n"
    "dcl_position v0\n"
    "dcl_color v2\n"
    "dcl_texcoord0 v3\n"
    "m4x4 oPos, v0, c0\n"
    "mov oD0, v2\n"
    "mov oT0, v3\n";

const char kDisplayPS[] =
    "ps_2_0\n"
    "def c0, 1, 0.015625, 0, 0\n"
    "dcl v0\n"
    "dcl t0\n"
    "mul r0.xy, t0, t0\n"
    "add r0.x, r0.x, r0.y\n"
    "rsq r0.y, r0.x\n"
    "rcp r0.z, r0.y\n"         // length(u, v)
    "add r1.x, c0.x, -r0.z\n"  // edge
    "add r1.y, c0.x, -t0.z\n"  // 1 - core fraction
    "max r1.y, r1.y, c0.y\n"
    "rcp r1.y, r1.y\n"
    "mul_sat r1.x, r1.x, r1.y\n"  // across
    "add_sat r1.z, c0.x, t0.w\n"  // along
    "mul r1.w, r1.x, r1.z\n"
    "mul r1.w, r1.w, v0.w\n"  // alpha
    "mul r2.xyz, v0, r1.w\n"
    "mov r2.w, r1.w\n"
    "mov oC0, r2\n";

bool Assemble(const char* source, bool usesMatrix, std::vector<uint8_t>* out) {
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  const HRESULT hr = D3DXAssembleShader(source, static_cast<UINT>(std::strlen(source)), nullptr,
                                        nullptr, 0, &code, &errors);
  if (FAILED(hr)) {
    std::fprintf(stderr, "shader assembly failed (0x%08lx): %s\n", static_cast<unsigned long>(hr),
                 errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    if (errors) errors->Release();
    return false;
  }
  const auto* p = static_cast<const uint8_t*>(code->GetBufferPointer());
  out->assign(p, p + code->GetBufferSize());
  code->Release();
  if (errors) errors->Release();
  if (usesMatrix) {
    constexpr uint16_t kFloat4Registers = 2;
    *out =
        WithConstantTable(*out, {{"matWVP", kFloat4Registers, 0, 4, kMatrixColumns, kFloat, 4, 4}});
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool culled = argc == 3 && std::strcmp(argv[2], "culled") == 0;
  if (argc != 2 && !culled) {
    std::fprintf(stderr, "usage: effect_builder <output file> [culled]\n");
    return 2;
  }
  const uint32_t cullMode = culled ? D3DCULL_CCW : D3DCULL_NONE;
  std::vector<uint8_t> refractionVS, refractionPS, displayVS, displayPS;
  if (!Assemble(kRefractionVS, true, &refractionVS) ||
      !Assemble(kRefractionPS, false, &refractionPS) || !Assemble(kDisplayVS, true, &displayVS) ||
      !Assemble(kDisplayPS, false, &displayPS)) {
    return 1;
  }

  Writer w;
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const uint32_t textureType = w.ObjectType(kTexture, "RenderScene");
  const uint32_t matrixType = w.NumericType(kFloat, kMatrixRows, 4, 4, "matWVP");
  const uint32_t vsType = w.ObjectType(kVertexShader);
  const uint32_t psType = w.ObjectType(kPixelShader);
  const uint32_t stateTextureType = w.ObjectType(kTexture);
  const uint32_t dwordType = w.NumericType(kInt, kScalar, 1, 1);
  auto dword = [&](uint32_t v) { return w.ValueU32(v); };
  // Object ids: 0 unused, 1 RenderScene, 2 and 3 the refraction shaders, 4 the refraction
  // pass's Texture[0] state, 5 and 6 the display shaders.
  const std::vector<Writer::Parameter> parameters = {
      {textureType, w.ValueU32(1)},
      {matrixType, w.Value(identity, sizeof identity)},
  };
  std::vector<Writer::Pass> passes(2);
  passes[0].name = "Refraction";
  passes[0].states = {
      {kVertexShaderState, 0, vsType, w.ValueU32(2)},
      {kPixelShaderState, 0, psType, w.ValueU32(3)},
      {kTextureState, 0, stateTextureType, w.ValueU32(4)},  // Texture[0] = <RenderScene>
      {kMinFilter, 0, dwordType, dword(D3DTEXF_LINEAR)},
      {kMagFilter, 0, dwordType, dword(D3DTEXF_LINEAR)},
      {kMipFilter, 0, dwordType, dword(D3DTEXF_NONE)},
      {kAddressU, 0, dwordType, dword(D3DTADDRESS_CLAMP)},
      {kAddressV, 0, dwordType, dword(D3DTADDRESS_CLAMP)},
      {kZWriteEnable, 0, dwordType, dword(FALSE)},
      {kCullMode, 0, dwordType, dword(cullMode)},
  };
  passes[1].name = "Display";
  passes[1].states = {
      {kVertexShaderState, 0, vsType, w.ValueU32(5)},
      {kPixelShaderState, 0, psType, w.ValueU32(6)},
      {kZWriteEnable, 0, dwordType, dword(FALSE)},
      {kCullMode, 0, dwordType, dword(cullMode)},
  };
  const std::vector<Writer::Resource> resources = {
      {0, 0, 0, kShaderCode, refractionVS},
      {0, 0, 1, kShaderCode, refractionPS},
      {0, 0, 2, kParameterName, NameData("RenderScene")},
      {0, 1, 0, kShaderCode, displayVS},
      {0, 1, 1, kShaderCode, displayPS},
  };
  const std::vector<uint8_t> file = w.Finish(parameters, "Tracer", passes, 7, resources);

  FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && written ? 0 : 1;
}
