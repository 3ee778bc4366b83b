#include "tools/lab/show_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "sim/pool.h"
#include "startup/data_paths.h"
#include "startup/file_access.h"
#include "startup/profile.h"
#include "startup/settings.h"
#include "startup/startup.h"
#include "startup/tables.h"

namespace pellix::lab {
namespace {

using Json = nlohmann::ordered_json;

// A float as the shortest decimal that reads back as the same float32; JSON has no infinities
// or NaN, so those become the strings "inf", "-inf" and "nan".
Json Float(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return std::strtod(text, nullptr);
}

Json PathOrNull(bool present, const char* fileName) {
  char path[PathBufferSize];
  if (!present || !BuildDataPath(path, fileName)) return nullptr;
  ToPlatformPath(path);
  return path;
}

}  // namespace

Json SettingsJson(const Settings& s) {
  Json j;
  j["MaxPellix"] = s.MaxPellix;
  j["weaponCount"] = s.weaponCount;
  j["rangeScale"] = Float(s.rangeScale);
  j["Gravity"] = s.Gravity;
  j["gravityScale"] = Float(s.gravityScale);
  j["AirResist"] = s.AirResist;
  j["Ricochet"] = s.Ricochet;
  j["Pierce"] = s.Pierce;
  j["MaxLoop"] = s.MaxLoop;
  j["minSpeedScaled"] = Float(s.minSpeedScaled);
  j["ColBias"] = Float(s.ColBias);
  j["SolidBias"] = Float(s.SolidBias);
  j["SolidLoop"] = s.SolidLoop;
  j["TracerType"] = s.TracerType;
  j["AfterEffect"] = s.AfterEffect;
  j["TracerBloom"] = Float(s.TracerBloom);
  j["RefractSize"] = Float(s.RefractSize);
  j["AmRefractLen"] = Float(s.AmRefractLen);
  j["TrRefractLen"] = Float(s.TrRefractLen);
  j["AmTailBias"] = Float(s.AmTailBias);
  j["TrTailBias"] = Float(s.TrTailBias);
  j["TracerBatch"] = s.TracerBatch;
  j["Reload"] = s.Reload;
  return j;
}

namespace {

bool AllZero(const void* row, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(row);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

}  // namespace

Json WeaponsJson() {
  Json rows = Json::array();
  if (!weaponTable) return rows;
  for (int32_t t = 0; t < settings.weaponCount; ++t) {
    const WeaponBallistics& w = weaponTable[t];
    if (AllZero(&w, sizeof w)) continue;
    Json j;
    j["row"] = t;
    j["speedFactor"] = Float(w.speedFactor);
    j["dragAlong"] = Float(w.dragAlong);
    j["dragAcross"] = Float(w.dragAcross);
    j["pierceCost"] = Float(w.pierceCost);
    j["ricochetBonus"] = Float(w.ricochetBonus);
    j["tracerEvery"] = w.tracerEvery;
    j["ammoTrailLength"] = Float(w.ammoTrailLength);
    j["tracerTrailLength"] = Float(w.tracerTrailLength);
    j["ammoTrailWidth"] = Float(w.ammoTrailWidth);
    j["tracerTrailWidth"] = Float(w.tracerTrailWidth);
    j["ammoTrailAlpha"] = w.ammoTrailAlpha;
    j["tracerTrailAlpha"] = w.tracerTrailAlpha;
    j["tracerColour"] = w.tracerColour;
    rows.push_back(std::move(j));
  }
  return rows;
}

Json SurfacesJson() {
  Json rows = Json::array();
  if (!surfaceTable) return rows;
  for (int32_t c = 0; c < SurfaceClassCount; ++c) {
    const SurfaceBallistics& s = surfaceTable[c];
    Json j;
    j["class"] = c;
    j["ricochetThreshold"] = Float(s.ricochetThreshold);
    j["ricochetAngleLoss"] = Float(s.ricochetAngleLoss);
    j["ricochetKeep"] = Float(s.ricochetKeep);
    j["ricochetScatter"] = Float(s.ricochetScatter);
    j["pierceResistance"] = Float(s.pierceResistance);
    rows.push_back(std::move(j));
  }
  return rows;
}

namespace {

Json LogLines(const StartupLog& log) {
  Json lines = Json::array();
  const char* start = log.text;
  while (*start) {
    const char* end = start;
    while (*end && *end != '\n') ++end;
    lines.push_back(std::string(start, end));
    start = *end ? end + 1 : end;
  }
  return lines;
}

}  // namespace

int PrintShowJson(const std::string& dir, std::ostream& out) {
  // The folder stands where the game's executable would be. The profile functions want a full
  // path (a bare name would be looked up in the Windows folder).
  std::error_code error;
  std::string folder = std::filesystem::absolute(dir, error).lexically_normal().string();
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  const std::string executable = folder + "\\pellix-lab.exe";

  StartupPlatform platform;
  platform.executablePath = executable.c_str();
  platform.profile = SystemProfile();
  platform.openFile = OpenPlatformFile;
  platform.allocate = CallocZeroed;
  platform.installHooks = nullptr;
  platform.files = SystemFileAccess();  // with Reload=1, the spare copies as in the game
  ReleaseStartupData();
  static StartupLog log;  // 4 KiB: kept off the stack
  log = StartupLog{};
  const StartupResult result = RunStartup(platform, log);

  Json j;
  j["dataFolder"] = dataFolder;
  j["files"] = {{"settings", PathOrNull(result.settingsFileFound, SettingsFileName)},
                {"weapons", PathOrNull(result.weaponFileRead, WeaponFileName)},
                {"surfaces", PathOrNull(result.surfaceFileRead, SurfaceFileName)}};
  j["settings"] = SettingsJson(settings);
  j["weapons"] = WeaponsJson();
  j["surfaces"] = SurfacesJson();
  j["startup"] = {{"outcome", DescribeOutcome(result.outcome)}, {"log", LogLines(log)}};
  out << j.dump(2) << "\n";
  ReleaseStartupData();
  return result.outcome == StartupOutcome::Started ? 0 : 1;
}

}  // namespace pellix::lab
