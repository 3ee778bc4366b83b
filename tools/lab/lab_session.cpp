#include "tools/lab/lab_session.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/loop_state.h"
#include "sim/shots.h"
#include "startup/data_paths.h"
#include "startup/profile.h"
#include "startup/settings.h"
#include "startup/startup.h"
#include "startup/tables.h"

namespace pellix::lab {

namespace {

LabSession* active = nullptr;

// Lab memory behind made-up 32-bit host addresses, far from the loop model's own.
constexpr uint32_t kInfoBase = 0x10000000;
constexpr uint32_t kInfoSize = 64;
constexpr uint32_t kShooterBase = 0x20000000;
constexpr uint32_t kShooterSize = 0x800;

// Start-up reads the INI through these: overrides first, then the platform's reader.
const std::map<std::string, std::string>* overrides = nullptr;
ProfileReader systemProfile{};

const std::string* FindOverride(const char* section, const char* key) {
  if (!overrides) return nullptr;
  auto it = overrides->find(std::string(section) + "/" + key);
  return it == overrides->end() ? nullptr : &it->second;
}

uint32_t ReadStringOverride(const char* section, const char* key, const char* fallback, char* out,
                            uint32_t size, const char* path) {
  if (const std::string* value = FindOverride(section, key)) {
    if (size == 0) return 0;
    const size_t n = value->size() < size - 1 ? value->size() : size - 1;
    std::memcpy(out, value->data(), n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
  }
  return systemProfile.readString(section, key, fallback, out, size, path);
}

int32_t ReadIntUnlimited(const char* section, const char* key, int32_t fallback, const char* path) {
  if (const std::string* value = FindOverride(section, key)) {
    // Overrides are checked decimal numbers, so a decimal integer is all there is to read.
    return value->empty() ? fallback : static_cast<int32_t>(std::atol(value->c_str()));
  }
  return systemProfile.readInt(section, key, fallback, path);
}

// Limits the pool to the slots the runs need; keeps what the folder gives in `poolRead`.
int32_t poolLimit = 0;
int32_t poolRead = 0;

int32_t ReadIntOverride(const char* section, const char* key, int32_t fallback, const char* path) {
  const int32_t value = ReadIntUnlimited(section, key, fallback, path);
  if (std::strcmp(section, "PELLIX") != 0 || std::strcmp(key, "MaxPellix") != 0) return value;
  poolRead = value;
  return poolLimit > 0 && value > poolLimit ? poolLimit : value;
}

const std::vector<std::string>* extraWeaponLines = nullptr;
const std::vector<std::string>* extraSurfaceLines = nullptr;

bool EndsWith(const char* s, const char* suffix) {
  const size_t a = std::strlen(s), b = std::strlen(suffix);
  return a >= b && std::strcmp(s + a - b, suffix) == 0;
}

// The data file, followed by the scenario's own lines when it has any.
std::FILE* OpenWithExtraLines(const char* path, const char* mode) {
  const std::vector<std::string>* extra = nullptr;
  if (EndsWith(path, WeaponFileName)) extra = extraWeaponLines;
  if (EndsWith(path, SurfaceFileName)) extra = extraSurfaceLines;
  std::FILE* file = OpenPlatformFile(path, mode);
  if (!file || !extra || extra->empty()) return file;
  std::FILE* copy = std::tmpfile();
  if (!copy) return file;
  char buffer[4096];
  size_t n;
  bool endsWithNewline = true;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    std::fwrite(buffer, 1, n, copy);
    endsWithNewline = buffer[n - 1] == '\n';
  }
  std::fclose(file);
  if (!endsWithNewline) std::fputc('\n', copy);
  for (const std::string& line : *extra) {
    std::fputs(line.c_str(), copy);
    std::fputc('\n', copy);
  }
  std::rewind(copy);
  return copy;
}

}  // namespace

struct LabHostRoutines {
  static const void* At(uint32_t address) {
    LabSession& s = *active;
    if (address >= kInfoBase && address < kInfoBase + kInfoSize * s.infoRecords_.size()) {
      const uint32_t offset = address - kInfoBase;
      return s.infoRecords_[offset / kInfoSize].data() + offset % kInfoSize;
    }
    if (address >= kShooterBase &&
        address < kShooterBase + kShooterSize * s.shooterMemory_.size()) {
      const uint32_t offset = address - kShooterBase;
      return s.shooterMemory_[offset / kShooterSize].data() + offset % kShooterSize;
    }
    return s.model.At(address);
  }
  static uint32_t WeaponInfo(int32_t weaponType, int32_t /*skill*/) {
    LabSession& s = *active;
    auto it = s.hostWeapons.find(weaponType);
    const HostWeapon& w = it == s.hostWeapons.end() ? s.defaultWeapon : it->second;
    std::vector<uint8_t> record(kInfoSize, 0);
    std::memcpy(record.data() + host_addr::WeaponInfoRange, &w.range, sizeof w.range);
    std::memcpy(record.data() + host_addr::WeaponInfoDamage, &w.damage, sizeof w.damage);
    s.infoRecords_.push_back(std::move(record));
    return kInfoBase + kInfoSize * static_cast<uint32_t>(s.infoRecords_.size() - 1);
  }
  static uint8_t ShooterSkill(uint32_t shooter) {
    LabSession& s = *active;
    const Shooter* entity = s.ShooterAt(shooter);
    return entity ? entity->skill : 1;
  }
  static int32_t Rand() { return active->rand.Next(); }
};

bool HitRecorder::LineTest(const float* start, const float* end) const {
  return inner_.LineTest(start, end);
}

bool HitRecorder::FindHit(const float* start, const float* end, loop_model::Hit& hit) const {
  if (!inner_.FindHit(start, end, hit)) return false;
  lastHit = hit;
  const auto address = reinterpret_cast<uintptr_t>(start);
  const auto first = reinterpret_cast<uintptr_t>(pool.projectileArray);
  const auto limit = reinterpret_cast<uintptr_t>(pool.projectileArrayEnd);
  const uintptr_t offset = offsetof(ProjectileRecord, position);
  if (address >= first + offset && address < limit) {
    const auto* record = reinterpret_cast<const ProjectileRecord*>(address - offset);
    for (int k = 0; k < 3; ++k) lastVelocity[k] = record->velocity[k];
  }
  return true;
}

LabSession::LabSession() : model(recorder) {
  active = this;
  model.Install();
  host.at = &LabHostRoutines::At;
  host.weaponInfo = &LabHostRoutines::WeaponInfo;
  host.shooterSkill = &LabHostRoutines::ShooterSkill;
  host.rand = &LabHostRoutines::Rand;
  ResetSimulationState();
}

LabSession::~LabSession() {
  ReleaseStartupData();
  ResetSimulationState();
  if (active == this) active = nullptr;
}

void LabSession::StartRun() {
  ResetSimulationState();
  model.clockMs = 0;
  model.ClearRecords();
  rand = CrtRand{};
  infoRecords_.clear();  // read only while a shot is made
  for (int32_t i = 0; i < settings.MaxPellix && pool.projectileArray; ++i) {
    pool.projectileArray[i] = ProjectileRecord{};
    pool.trailArray[i] = TrailRecord{};
    pool.extraArray[i] = ProjectileExtra{};
  }
  pool.nextSlot = 0;
}

void ResetSimulationState() {
  ClearLoopState();
  tracerCounter = 0;
}

bool LabSession::Load(const std::string& dir, std::string& error,
                      const std::map<std::string, std::string>& iniOverrides,
                      const std::vector<std::string>& weaponLines,
                      const std::vector<std::string>& surfaceLines) {
  ReleaseStartupData();
  ResetSimulationState();
  dataDir = dir;
  // Start-up takes the folder from an executable's path; the name itself is never opened.
  std::string executable;
  executable.reserve(dir.size() + 20);
  executable.append(dir.empty() ? std::string_view(".") : std::string_view(dir));
  executable.append("\\pellix-lab.exe");

  systemProfile = SystemProfile();
  overrides = &iniOverrides;
  poolLimit = poolSlots;
  extraWeaponLines = &weaponLines;
  extraSurfaceLines = &surfaceLines;
  StartupPlatform platform;
  platform.executablePath = executable.c_str();
  platform.profile = ProfileReader{&ReadIntOverride, &ReadStringOverride};
  platform.openFile = &OpenWithExtraLines;
  StartupLog log;
  const StartupResult result = RunStartup(platform, log);
  dataMaxPellix = poolRead;
  poolLimit = 0;
  overrides = nullptr;
  extraWeaponLines = extraSurfaceLines = nullptr;
  startupLog.assign(log.text, log.length);
  if (result.outcome == StartupOutcome::Started) {
    if (!PoolClearOfModelHost()) {
      error = "the pool's memory lies on the loop model's host addresses; try another MaxPellix";
      return false;
    }
    return true;
  }

  switch (result.outcome) {
    case StartupOutcome::WeaponFileMissing:
      error = dir + "/pellix_weapon.dat: cannot be opened";
      break;
    case StartupOutcome::SurfaceFileMissing:
      error = dir + "/pellix_surface.dat: cannot be opened";
      break;
    default:
      error = dir + "/pellix.ini: " + DescribeOutcome(result.outcome);
      break;
  }
  return false;
}

// The model tells the host's records from the pool's by their addresses. In a 32-bit process
// the pool could, in principle, be allocated over the model's made-up host addresses.
bool LabSession::PoolClearOfModelHost() const {
  const auto overlaps = [](const void* first, const void* last, uintptr_t lo, uintptr_t hi) {
    const auto a = reinterpret_cast<uintptr_t>(first), b = reinterpret_cast<uintptr_t>(last);
    return a < hi && lo < b;
  };
  const uintptr_t projectilesLo = model.HostProjectileAddress(0);
  const uintptr_t tracesLo = model.HostTraceAddress(0);
  return !overlaps(pool.projectileArray, pool.projectileArrayEnd, projectilesLo,
                   loop_model::LoopModel::kHostProjectileEnd) &&
         !overlaps(pool.trailArray, pool.trailArrayEnd, tracesLo,
                   loop_model::LoopModel::kHostTraceEnd);
}

uint32_t LabSession::AddShooter(const Shooter& shooter) {
  std::vector<uint8_t> memory(kShooterSize, 0);
  memory[host_addr::ShooterKind] = shooter.kind;
  memory[host_addr::ShooterWeaponSlot] = 0;
  std::memcpy(memory.data() + host_addr::ShooterWeaponSlots, &shooter.ammo, sizeof shooter.ammo);
  // The skill lives outside the host layout; keep it in an unused corner of the lab's memory.
  memory[kShooterSize - 1] = shooter.skill;
  shooterMemory_.push_back(std::move(memory));
  return kShooterBase + kShooterSize * static_cast<uint32_t>(shooterMemory_.size() - 1);
}

Shooter* LabSession::ShooterAt(uint32_t address) {
  static Shooter view;
  if (address < kShooterBase || address >= kShooterBase + kShooterSize * shooterMemory_.size())
    return nullptr;
  const std::vector<uint8_t>& m = shooterMemory_[(address - kShooterBase) / kShooterSize];
  view.kind = m[host_addr::ShooterKind];
  view.skill = m[kShooterSize - 1];
  std::memcpy(&view.ammo, m.data() + host_addr::ShooterWeaponSlots, sizeof view.ammo);
  return &view;
}

int32_t LabSession::FireSniper(uint32_t shooter, int32_t weaponType, const float* start,
                               const float* dir) {
  const int32_t slot = pool.nextSlot;
  MakeSniper(shooter, static_cast<uint32_t>(weaponType), start[0], start[1], start[2], dir[0],
             dir[1], dir[2]);
  return slot;
}

}  // namespace pellix::lab
