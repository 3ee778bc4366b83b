#include "tools/lab/scenario.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "startup/tables.h"
#include "tools/lab/impact_table.h"
#include "tools/lab/json_lines.h"
#include "tools/lab/setting_override.h"

namespace pellix::lab {

namespace {

using nlohmann::json;

struct Failure {
  std::string pointer;
  std::string what;
};

// Walks the document; every check throws a Failure naming the value, caught once below.
class Reader {
 public:
  explicit Reader(const JsonWithLines& doc) : doc_(doc) {}

  [[noreturn]] void Fail(const std::string& pointer, const std::string& what) const {
    throw Failure{pointer, what};
  }

  const json& At(const std::string& pointer) const {
    return doc_.value.at(json::json_pointer(pointer));
  }
  bool Has(const std::string& pointer) const {
    return doc_.value.contains(json::json_pointer(pointer));
  }

  void OnlyKeys(const std::string& pointer, const std::set<std::string>& allowed) const {
    const json& v = At(pointer);
    if (!v.is_object()) Fail(pointer, Name(pointer) + " must be an object");
    for (const auto& [key, value] : v.items()) {
      if (!allowed.count(key)) Fail(pointer + "/" + key, "unknown key \"" + key + "\"");
    }
  }

  double Num(const std::string& pointer) const {
    const json& v = At(pointer);
    if (!v.is_number()) Fail(pointer, Name(pointer) + " must be a number");
    const double d = v.get<double>();
    if (!std::isfinite(d)) Fail(pointer, Name(pointer) + " must be finite");
    return d;
  }
  double Num(const std::string& pointer, double fallback) const {
    return Has(pointer) ? Num(pointer) : fallback;
  }
  int64_t Int(const std::string& pointer, int64_t lo, int64_t hi) const {
    const json& v = At(pointer);
    if (!v.is_number_integer()) Fail(pointer, Name(pointer) + " must be an integer");
    const int64_t i = v.get<int64_t>();
    if (i < lo || i > hi) {
      Fail(pointer,
           Name(pointer) + " must be between " + std::to_string(lo) + " and " + std::to_string(hi));
    }
    return i;
  }
  int64_t Int(const std::string& pointer, int64_t lo, int64_t hi, int64_t fallback) const {
    return Has(pointer) ? Int(pointer, lo, hi) : fallback;
  }
  std::string Str(const std::string& pointer) const {
    const json& v = At(pointer);
    if (!v.is_string()) Fail(pointer, Name(pointer) + " must be a string");
    return v.get<std::string>();
  }
  std::array<float, 3> Vec(const std::string& pointer) const {
    const json& v = At(pointer);
    if (!v.is_array() || v.size() != 3) Fail(pointer, Name(pointer) + " must be [x, y, z]");
    std::array<float, 3> out{};
    for (int k = 0; k < 3; ++k) out[k] = static_cast<float>(Num(pointer + "/" + std::to_string(k)));
    return out;
  }
  size_t Size(const std::string& pointer) const {
    const json& v = At(pointer);
    if (!v.is_array()) Fail(pointer, Name(pointer) + " must be an array");
    return v.size();
  }

  static std::string Name(const std::string& pointer) {
    std::string name = pointer.empty() ? "the scenario" : pointer.substr(1);
    for (char& c : name)
      if (c == '/') c = '.';
    return name;
  }

 private:
  const JsonWithLines& doc_;
};

// Surface key of a scene object: the surface id for N to D, the entity kind for C and P.
void SurfaceCodes(const Reader& r, const std::string& pointer, uint8_t& surfaceId, uint8_t& kind) {
  const std::string key = r.Str(pointer);
  const int32_t cls = ParseSurfaceClass(key);
  if (cls < 0) r.Fail(pointer, "surface \"" + key + "\" is not one of N, SP, S, W, D, C, P");
  surfaceId = static_cast<uint8_t>(cls <= SurfaceD ? cls : 0);
  kind = cls == SurfaceC ? 2 : cls == SurfaceP ? 3 : 0;
}

HostWeapon ReadHostWeapon(const Reader& r, const std::string& p, const HostWeapon& fallback) {
  r.OnlyKeys(p, {"range", "damage"});
  HostWeapon w = fallback;
  w.range = static_cast<float>(r.Num(p + "/range", w.range));
  w.damage = static_cast<int16_t>(r.Int(p + "/damage", -32768, 32767, w.damage));
  return w;
}

void ReadScenario(const Reader& r, const std::string& baseDir, Scenario& s) {
  r.OnlyKeys("", {"schema", "data", "settings", "weaponLines", "surfaceLines", "hostWeapons",
                  "seed", "clock", "scene", "shots", "frames", "description"});
  if (!r.Has("/schema")) r.Fail("", "missing \"schema\": \"" + std::string(kScenarioSchema) + "\"");
  if (r.Str("/schema") != kScenarioSchema) {
    r.Fail("/schema", "schema \"" + r.Str("/schema") + "\" is not \"" + kScenarioSchema + "\"");
  }
  const std::string data = r.Has("/data") ? r.Str("/data") : "..";
  s.dataDir = (std::filesystem::path(baseDir) / data).lexically_normal().string();

  if (r.Has("/settings")) {
    const json& settings = r.At("/settings");
    if (!settings.is_object()) r.Fail("/settings", "settings must be an object");
    for (const auto& [key, value] : settings.items()) {
      const std::string p = "/settings/" + key;
      if (key.find('/') == std::string::npos)
        r.Fail(p, "setting \"" + key + "\" must be SECTION/Key");
      std::string text;
      if (value.is_number_integer()) {
        text = std::to_string(value.get<int64_t>());
      } else if (value.is_number()) {
        char number[64];
        std::snprintf(number, sizeof number, "%.9g", value.get<double>());
        text = number;
      } else {
        r.Fail(p, "setting \"" + key + "\" must be a number");
      }
      std::string error;
      if (!AddSettingOverride(key, text, s.settings, error)) r.Fail(p, error);
    }
  }
  for (const char* which : {"weaponLines", "surfaceLines"}) {
    const std::string p = std::string("/") + which;
    if (!r.Has(p)) continue;
    auto& lines = std::string(which) == "weaponLines" ? s.weaponLines : s.surfaceLines;
    for (size_t i = 0; i < r.Size(p); ++i) lines.push_back(r.Str(p + "/" + std::to_string(i)));
  }
  if (r.Has("/hostWeapons")) {
    const json& hw = r.At("/hostWeapons");
    if (!hw.is_object()) r.Fail("/hostWeapons", "hostWeapons must be an object");
    if (hw.contains("default")) s.defaultWeapon = ReadHostWeapon(r, "/hostWeapons/default", {});
    for (const auto& [key, value] : hw.items()) {
      if (key == "default") continue;
      char* end = nullptr;
      const long type = std::strtol(key.c_str(), &end, 10);
      if (key.empty() || *end != '\0') {
        r.Fail("/hostWeapons/" + key, "hostWeapons key \"" + key + "\" is not a weapon type");
      }
      s.hostWeapons[static_cast<int32_t>(type)] =
          ReadHostWeapon(r, "/hostWeapons/" + key, s.defaultWeapon);
    }
  }
  s.seed = static_cast<uint32_t>(r.Int("/seed", 0, 0xFFFFFFFFll, 1));
  s.clock = static_cast<uint32_t>(r.Int("/clock", 0, 0xFFFFFFFFll, 0));

  if (r.Has("/scene")) {
    r.OnlyKeys("/scene", {"planes", "boxes"});
    if (r.Has("/scene/planes")) {
      for (size_t i = 0; i < r.Size("/scene/planes"); ++i) {
        const std::string p = "/scene/planes/" + std::to_string(i);
        r.OnlyKeys(p, {"normal", "offset", "surface"});
        loop_model::Plane plane{};
        const auto n = r.Vec(p + "/normal");
        const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (len == 0.0f) r.Fail(p + "/normal", "a plane's normal must not be zero");
        for (int k = 0; k < 3; ++k) plane.normal[k] = n[k] / len;
        plane.offset = static_cast<float>(r.Num(p + "/offset", 0.0));
        SurfaceCodes(r, p + "/surface", plane.surfaceId, plane.typeCode);
        s.planes.push_back(plane);
      }
    }
    if (r.Has("/scene/boxes")) {
      for (size_t i = 0; i < r.Size("/scene/boxes"); ++i) {
        const std::string p = "/scene/boxes/" + std::to_string(i);
        r.OnlyKeys(p, {"min", "max", "surface"});
        loop_model::Box box{};
        const auto lo = r.Vec(p + "/min"), hi = r.Vec(p + "/max");
        for (int k = 0; k < 3; ++k) {
          if (!(lo[k] < hi[k])) r.Fail(p + "/max", "a box's max must exceed its min on every axis");
          box.min[k] = lo[k];
          box.max[k] = hi[k];
        }
        SurfaceCodes(r, p + "/surface", box.surfaceId, box.typeCode);
        s.boxes.push_back(box);
      }
    }
  }

  // Frames: either {"count", "ms", "step", "wind"} or a list of {"ms", "step", "wind"}.
  if (!r.Has("/frames")) r.Fail("", "missing \"frames\"");
  auto readFrame = [&](const std::string& p, ScenarioFrame& f) {
    f.ms = static_cast<uint32_t>(r.Int(p + "/ms", 0, 60000, 20));
    f.step = static_cast<float>(r.Num(p + "/step", f.ms / static_cast<double>(kMsPerStep)));
    if (f.step < 0.0f) r.Fail(p + "/step", "a time step must not be negative");
    if (r.Has(p + "/wind")) f.wind = r.Vec(p + "/wind");
  };
  if (r.At("/frames").is_object()) {
    r.OnlyKeys("/frames", {"count", "ms", "step", "wind"});
    ScenarioFrame f;
    readFrame("/frames", f);
    const int64_t count = r.Int("/frames/count", 1, 100000);
    s.frames.assign(static_cast<size_t>(count), f);
  } else {
    const size_t n = r.Size("/frames");
    if (n == 0) r.Fail("/frames", "frames must not be empty");
    for (size_t i = 0; i < n; ++i) {
      const std::string p = "/frames/" + std::to_string(i);
      r.OnlyKeys(p, {"ms", "step", "wind"});
      ScenarioFrame f;
      readFrame(p, f);
      s.frames.push_back(f);
    }
  }

  if (r.Has("/shots")) {
    for (size_t i = 0; i < r.Size("/shots"); ++i) {
      const std::string p = "/shots/" + std::to_string(i);
      r.OnlyKeys(p, {"frame", "entry", "weapon", "shooter", "start", "direction", "end",
                     "alternative", "damage"});
      ScenarioShot shot;
      shot.frame =
          static_cast<int>(r.Int(p + "/frame", 0, static_cast<int64_t>(s.frames.size()) - 1, 0));
      const std::string entry = r.Has(p + "/entry") ? r.Str(p + "/entry") : "MakeSniper";
      if (entry == "Make") {
        shot.entry = ShotEntry::Make;
      } else if (entry == "MakeSniper") {
        shot.entry = ShotEntry::MakeSniper;
      } else if (entry == "MakeM4") {
        shot.entry = ShotEntry::MakeM4;
      } else {
        r.Fail(p + "/entry", "entry \"" + entry + "\" is not Make, MakeSniper or MakeM4");
      }
      if (shot.entry != ShotEntry::MakeM4) {
        if (!r.Has(p + "/weapon")) r.Fail(p, "shot needs a \"weapon\"");
        shot.weapon = static_cast<int32_t>(r.Int(p + "/weapon", INT32_MIN, INT32_MAX));
      } else if (r.Has(p + "/weapon")) {
        r.Fail(p + "/weapon", "MakeM4 always fires weapon type 31; leave \"weapon\" out");
      }
      if (r.Has(p + "/shooter") && !r.At(p + "/shooter").is_null()) {
        if (shot.entry == ShotEntry::MakeM4) r.Fail(p + "/shooter", "MakeM4 has no shooter");
        r.OnlyKeys(p + "/shooter", {"kind", "ammo", "skill"});
        Shooter sh;
        sh.kind = static_cast<uint8_t>(r.Int(p + "/shooter/kind", 0, 7, 1));
        sh.ammo = static_cast<uint16_t>(r.Int(p + "/shooter/ammo", 0, 65535, 0));
        sh.skill = static_cast<uint8_t>(r.Int(p + "/shooter/skill", 0, 255, 1));
        shot.shooter = sh;
      }
      if (!r.Has(p + "/start")) r.Fail(p, "shot needs a \"start\"");
      shot.start = r.Vec(p + "/start");
      const bool hasDir = r.Has(p + "/direction"), hasEnd = r.Has(p + "/end");
      if (hasDir == hasEnd) r.Fail(p, "shot needs exactly one of \"direction\" and \"end\"");
      if (hasDir) {
        if (shot.entry != ShotEntry::MakeSniper) {
          r.Fail(p + "/direction", "Make and MakeM4 take an \"end\" point, not a direction");
        }
        shot.direction = r.Vec(p + "/direction");
      } else {
        shot.hasEnd = true;
        shot.end = r.Vec(p + "/end");
      }
      if (r.Has(p + "/alternative")) {
        if (shot.entry != ShotEntry::Make)
          r.Fail(p + "/alternative", "only Make has an alternative end");
        if (!r.At(p + "/alternative").is_boolean())
          r.Fail(p + "/alternative", "alternative must be true or false");
        shot.alternative = r.At(p + "/alternative").get<bool>();
      }
      if (r.Has(p + "/damage")) {
        if (shot.entry != ShotEntry::MakeM4) {
          r.Fail(p + "/damage", "only MakeM4 takes a damage; the others ask the host");
        }
        shot.damage = static_cast<uint32_t>(r.Int(p + "/damage", 0, 0xFFFFFFFFll));
      } else if (shot.entry == ShotEntry::MakeM4) {
        r.Fail(p, "a MakeM4 shot needs a \"damage\"");
      }
      s.shots.push_back(shot);
    }
  }
}

}  // namespace

bool ParseScenario(const std::string& text, const std::string& file, const std::string& baseDir,
                   Scenario& out, std::string& error) {
  JsonWithLines doc;
  std::string syntax;
  if (!ParseJsonWithLines(text, doc, syntax)) {
    // "line N: what" -> "FILE:N: what"
    error = file + ":" + syntax.substr(5);
    return false;
  }
  out = Scenario{};
  out.file = file;
  const Reader reader(doc);
  try {
    if (!doc.value.is_object()) reader.Fail("", "a scenario must be a JSON object");
    ReadScenario(reader, baseDir, out);
  } catch (const Failure& f) {
    error = file + ":" + std::to_string(doc.LineOf(f.pointer)) + ": " + f.what;
    return false;
  } catch (const nlohmann::json::exception& e) {
    error = file + ":1: " + e.what();
    return false;
  }
  return true;
}

bool LoadScenario(const std::string& path, Scenario& out, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = path + ": cannot be opened";
    return false;
  }
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  const std::string base = std::filesystem::path(path).parent_path().string();
  return ParseScenario(text, path, base.empty() ? "." : base, out, error);
}

}  // namespace pellix::lab
