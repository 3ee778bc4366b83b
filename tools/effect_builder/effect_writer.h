// Writer for the binary D3DX 9 effect container (fx_2_0, first word 0xFEFF0901), for the
// test effect that Wine's D3DX loads (it cannot compile text effects). Every offset in the
// container is relative to byte 8; offset 0 holds an empty name.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace effect_writer {

// D3DXPARAMETER_CLASS and D3DXPARAMETER_TYPE values.
inline constexpr uint32_t kScalar = 0;
inline constexpr uint32_t kVector = 1;
inline constexpr uint32_t kMatrixRows = 2;
inline constexpr uint32_t kMatrixColumns = 3;
inline constexpr uint32_t kObject = 4;
inline constexpr uint32_t kInt = 2;
inline constexpr uint32_t kFloat = 3;
inline constexpr uint32_t kTexture = 5;
inline constexpr uint32_t kPixelShader = 15;
inline constexpr uint32_t kVertexShader = 16;
// Effect state operations (the fx_2_0 state table).
inline constexpr uint32_t kZWriteEnable = 0x03;
inline constexpr uint32_t kCullMode = 0x08;
inline constexpr uint32_t kVertexShaderState = 0x92;
inline constexpr uint32_t kPixelShaderState = 0x93;
inline constexpr uint32_t kTextureState = 0xa4;
inline constexpr uint32_t kAddressU = 0xa5;
inline constexpr uint32_t kAddressV = 0xa6;
inline constexpr uint32_t kMagFilter = 0xa9;
inline constexpr uint32_t kMinFilter = 0xaa;
inline constexpr uint32_t kMipFilter = 0xab;
// Resource usage: shader bytecode, or the name of the parameter a state refers to.
inline constexpr uint32_t kShaderCode = 0;
inline constexpr uint32_t kParameterName = 1;

// Appends n bytes (resize and copy: GCC 12 misreads vector::insert of a few bytes as overflow).
inline void AppendBytes(std::vector<uint8_t>& v, const void* p, size_t n) {
  if (n == 0) return;
  const size_t at = v.size();
  v.resize(at + n);
  std::memcpy(v.data() + at, p, n);
}

class Writer {
 public:
  Writer() { U32(0); }

  uint32_t Here() const { return static_cast<uint32_t>(data_.size()); }
  void U32(uint32_t v) { Append(&v, 4, false); }
  void Bytes(const void* p, size_t n) { Append(p, n, true); }

  uint32_t Name(const char* s) {
    if (s == nullptr || *s == '\0') return 0;
    const uint32_t at = Here();
    U32(static_cast<uint32_t>(std::strlen(s) + 1));
    Bytes(s, std::strlen(s) + 1);
    return at;
  }
  // Type descriptions: type, class, name, semantic, element count, then class-specific sizes.
  uint32_t ObjectType(uint32_t type, const char* name = nullptr) {
    const uint32_t n = Name(name), at = Here();
    for (uint32_t v : {type, kObject, n, 0u, 0u}) U32(v);
    return at;
  }
  uint32_t NumericType(uint32_t type, uint32_t cls, uint32_t rows, uint32_t columns,
                       const char* name = nullptr) {
    const uint32_t n = Name(name), at = Here();
    for (uint32_t v : {type, cls, n, 0u, 0u}) U32(v);
    if (cls == kVector) {
      U32(columns);
      U32(rows);
    } else {
      U32(rows);
      U32(columns);
    }
    return at;
  }
  uint32_t Value(const void* p, size_t n) {
    const uint32_t at = Here();
    Bytes(p, n);
    return at;
  }
  uint32_t ValueU32(uint32_t v) { return Value(&v, 4); }

  struct State {
    uint32_t operation, index, type, value;
  };
  struct Pass {
    std::string name;
    std::vector<State> states;
  };
  struct Parameter {
    uint32_t type, value;
  };
  struct Resource {
    uint32_t technique, pass, state, usage;
    std::vector<uint8_t> data;
  };

  // Appends the structure (parameters, one technique, resources) and returns the whole file.
  std::vector<uint8_t> Finish(const std::vector<Parameter>& parameters, const char* technique,
                              const std::vector<Pass>& passes, uint32_t objectCount,
                              const std::vector<Resource>& resources) {
    std::vector<uint32_t> passNames;
    for (const Pass& p : passes) passNames.push_back(Name(p.name.c_str()));
    const uint32_t techniqueName = Name(technique);
    const uint32_t start = Here();
    for (uint32_t v : {static_cast<uint32_t>(parameters.size()), 1u, 0u, objectCount}) U32(v);
    for (const Parameter& p : parameters) {
      for (uint32_t v : {p.type, p.value, 0u, 0u}) U32(v);  // no flags, no annotations
    }
    for (uint32_t v : {techniqueName, 0u, static_cast<uint32_t>(passes.size())}) U32(v);
    for (size_t i = 0; i < passes.size(); ++i) {
      for (uint32_t v : {passNames[i], 0u, static_cast<uint32_t>(passes[i].states.size())}) U32(v);
      for (const State& s : passes[i].states) {
        for (uint32_t v : {s.operation, s.index, s.type, s.value}) U32(v);
      }
    }
    U32(0);  // no strings
    U32(static_cast<uint32_t>(resources.size()));
    for (const Resource& r : resources) {
      for (uint32_t v : {r.technique, r.pass, 0xffffffffu, r.state, r.usage,
                         static_cast<uint32_t>(r.data.size())}) {
        U32(v);
      }
      Bytes(r.data.data(), r.data.size());
    }
    std::vector<uint8_t> out;
    const uint32_t header[2] = {0xFEFF0901u, start};
    AppendBytes(out, header, sizeof header);
    AppendBytes(out, data_.data(), data_.size());
    return out;
  }

 private:
  void Append(const void* p, size_t n, bool pad) {
    AppendBytes(data_, p, n);
    if (pad) {
      while (data_.size() % 4 != 0) data_.push_back(0);
    }
  }
  std::vector<uint8_t> data_;
};

inline std::vector<uint8_t> NameData(const char* s) {
  return std::vector<uint8_t>(s, s + std::strlen(s) + 1);
}

// Puts a constant table ("CTAB" comment) into shader bytecode, so that D3DX binds effect
// parameters to shader registers by name.
struct Constant {
  const char* name;
  uint16_t registerSet, registerIndex, registerCount, cls, type, rows, columns;
};

inline std::vector<uint8_t> WithConstantTable(const std::vector<uint8_t>& code,
                                              const std::vector<Constant>& constants) {
  std::vector<uint8_t> t;  // offsets inside the table are relative to its start
  auto put32 = [&](uint32_t v) { AppendBytes(t, &v, 4); };
  auto put16 = [&](uint16_t v) { AppendBytes(t, &v, 2); };
  auto at32 = [&](size_t o, uint32_t v) { std::memcpy(&t[o], &v, 4); };
  auto str = [&](const char* s) {
    const uint32_t o = static_cast<uint32_t>(t.size());
    AppendBytes(t, s, std::strlen(s) + 1);
    while (t.size() % 4 != 0) t.push_back(0);
    return o;
  };
  uint32_t version;
  std::memcpy(&version, code.data(), 4);
  const uint32_t n = static_cast<uint32_t>(constants.size());
  for (uint32_t v : {28u, 0u, version, n, 28u, 0u, 0u}) put32(v);  // header
  for (const Constant& c : constants) {                            // 20-byte constant descriptions
    put32(0);
    put16(c.registerSet);
    put16(c.registerIndex);
    put16(c.registerCount);
    put16(0);
    put32(0);
    put32(0);
  }
  for (uint32_t i = 0; i < n; ++i) {
    at32(28 + 20 * i + 12, static_cast<uint32_t>(t.size()));  // 16-byte type description
    for (uint16_t v : {constants[i].cls, constants[i].type, constants[i].rows, constants[i].columns,
                       uint16_t{1}, uint16_t{0}}) {
      put16(v);
    }
    put32(0);
    at32(28 + 20 * i, str(constants[i].name));
  }
  at32(4, str("pellix effect builder"));
  at32(24, str((version >> 16) == 0xfffe ? "vs_2_0" : "ps_2_0"));
  std::vector<uint8_t> out;
  AppendBytes(out, code.data(), 4);  // the version token first
  const uint32_t comment = 0xfffe | (static_cast<uint32_t>(1 + t.size() / 4) << 16);
  const uint32_t fourcc = 0x42415443;  // "CTAB"
  AppendBytes(out, &comment, 4);
  AppendBytes(out, &fourcc, 4);
  AppendBytes(out, t.data(), t.size());
  AppendBytes(out, code.data() + 4, code.size() - 4);
  return out;
}

}  // namespace effect_writer
