#include "tests/support/fake_host.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "host/host_addresses.h"
#include "host/host_api.h"

namespace pellix::testing {

FakeHost* FakeHost::current = nullptr;

namespace {

FakeHost& Fake() {
  if (FakeHost::current == nullptr) {
    std::fprintf(stderr, "host call without a FakeHost\n");
    std::abort();
  }
  return *FakeHost::current;
}

HostCall Call(HostCallKind kind) {
  HostCall call{};
  call.kind = kind;
  return call;
}

// Records a call that keeps only integer arguments.
void RecordInts(HostCallKind kind, std::vector<int64_t> ints) {
  HostCall call = Call(kind);
  call.ints = std::move(ints);
  Fake().calls.push_back(std::move(call));
}

template <typename Key, typename Value>
Value Answer(const std::map<Key, Value>& answers, Key key, Value fallback) {
  const auto it = answers.find(key);
  return it != answers.end() ? it->second : fallback;
}

uint8_t LineTest(const float* start, const float* end, void* hitRecord, void* hitEntity, int32_t a1,
                 int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6, int32_t a7,
                 int32_t a8) {
  FakeHost& f = Fake();
  HostCall call = Call(HostCallKind::LineTest);
  call.floats = {start[0], start[1], start[2], end[0], end[1], end[2]};
  call.ints = {a1, a2, a3, a4, a5, a6, a7, a8};
  call.pointers[0] = hitRecord;
  call.pointers[1] = hitEntity;
  f.calls.push_back(call);
  // The host fills its scratch outputs; writing them catches a buffer that is too small.
  std::memset(hitRecord, 0xA5, 44);
  std::memset(hitEntity, 0xA5, 4);
  bool hit = false;
  if (!f.lineTestScript.empty()) {
    hit = f.lineTestScript.front();
    f.lineTestScript.pop_front();
  } else if (f.lineTestGeometry) {
    hit = f.lineTestGeometry(start, end);
  }
  return hit ? 1 : 0;
}

uint32_t WeaponInfo(int32_t weaponType, int32_t skill) {
  RecordInts(HostCallKind::WeaponInfo, {weaponType, skill});
  const FakeHost& f = Fake();
  return Answer(f.weaponInfoByType, weaponType, f.defaultWeaponInfo);
}

uint8_t ShooterSkill(uint32_t shooter) {
  RecordInts(HostCallKind::ShooterSkill, {shooter});
  const FakeHost& f = Fake();
  return Answer(f.skillByShooter, shooter, f.defaultSkill);
}

uint32_t SurfaceClass(uint32_t surfaceId) {
  RecordInts(HostCallKind::SurfaceClass, {surfaceId});
  const FakeHost& f = Fake();
  return Answer(f.surfaceClassById, surfaceId, f.defaultSurfaceClass);
}

uint32_t EffectCreate(const char* name, const float* zeroVector, const float* matrix,
                      int32_t zero) {
  FakeHost& f = Fake();
  HostCall call = Call(HostCallKind::EffectCreate);
  call.name = name;
  call.floats.assign(zeroVector, zeroVector + 3);
  call.floats.insert(call.floats.end(), matrix, matrix + 16);
  call.ints = {zero};
  f.calls.push_back(call);
  return f.effectResult;
}

void EffectStart(uint32_t effect) { RecordInts(HostCallKind::EffectStart, {effect}); }

void EffectFinish(uint32_t effect) { RecordInts(HostCallKind::EffectFinish, {effect}); }

void AreaImpact(const float* hitPoint, float radius, float power, int32_t zero, uint32_t shooter,
                int32_t one, float scale) {
  HostCall call = Call(HostCallKind::AreaImpact);
  call.floats = {hitPoint[0], hitPoint[1], hitPoint[2], radius, power, scale};
  call.ints = {zero, shooter, one};
  call.pointers[0] = hitPoint;
  Fake().calls.push_back(call);
}

int32_t Rand() {
  FakeHost& f = Fake();
  int32_t value;
  if (!f.randScript.empty()) {
    value = f.randScript.front();
    f.randScript.pop_front();
  } else {
    value = f.crtRand.Next();
  }
  RecordInts(HostCallKind::Rand, {value});
  return value;
}

const void* At(uint32_t address) { return Fake().At(address); }

}  // namespace

FakeHost::FakeHost() : memory_(kMemorySize, 0) {
  if (current != nullptr) {
    std::fprintf(stderr, "two FakeHosts at once\n");
    std::abort();
  }
  current = this;
  defaultWeaponInfo = AddWeaponInfo(0.0f, 0);
  host = HostApi{};
  host.timeStep = &timeStep;
  host.clockMs = &clockMs;
  host.wind = wind;
  host.at = &pellix::testing::At;
  host.lineTest = &LineTest;
  host.weaponInfo = &WeaponInfo;
  host.shooterSkill = &ShooterSkill;
  host.surfaceClass = &SurfaceClass;
  host.effectCreate = &EffectCreate;
  host.effectStart = &EffectStart;
  host.effectFinish = &EffectFinish;
  host.areaImpact = &AreaImpact;
  host.rand = &Rand;
}

FakeHost::~FakeHost() {
  host = HostApi{};
  current = nullptr;
}

int FakeHost::Count(HostCallKind kind) const {
  int n = 0;
  for (const HostCall& c : calls) n += c.kind == kind ? 1 : 0;
  return n;
}

std::vector<HostCall> FakeHost::Calls(HostCallKind kind) const {
  std::vector<HostCall> out;
  for (const HostCall& c : calls) {
    if (c.kind == kind) out.push_back(c);
  }
  return out;
}

uint32_t FakeHost::Alloc(uint32_t bytes) {
  const uint32_t offset = used_;
  used_ += (bytes + 3u) & ~3u;
  if (used_ > kMemorySize) {
    std::fprintf(stderr, "fake host memory exhausted\n");
    std::abort();
  }
  return kMemoryBase + offset;
}

const void* FakeHost::At(uint32_t address) const {
  if (address < kMemoryBase || address - kMemoryBase >= used_) return nullptr;
  return memory_.data() + (address - kMemoryBase);
}

void* FakeHost::MutableAt(uint32_t address, uint32_t bytes) {
  if (address < kMemoryBase || address - kMemoryBase + bytes > used_) {
    std::fprintf(stderr, "fake host write outside its memory: 0x%08x\n", address);
    std::abort();
  }
  return memory_.data() + (address - kMemoryBase);
}

uint32_t FakeHost::AddShooter(uint8_t kind, uint8_t slot, uint16_t ammo) {
  // Room for all 256 weapon slots a slot byte can name.
  const uint32_t entity =
      Alloc(host_addr::ShooterWeaponSlots + host_addr::ShooterWeaponSlotSize * 256);
  Write<uint8_t>(entity + host_addr::ShooterKind, kind);
  Write<uint8_t>(entity + host_addr::ShooterWeaponSlot, slot);
  Write<uint16_t>(entity + host_addr::ShooterWeaponSlots + host_addr::ShooterWeaponSlotSize * slot,
                  ammo);
  return entity;
}

uint32_t FakeHost::AddWeaponInfo(float range, int16_t damage) {
  const uint32_t info = Alloc(40);
  Write<float>(info + host_addr::WeaponInfoRange, range);
  Write<int16_t>(info + host_addr::WeaponInfoDamage, damage);
  return info;
}

}  // namespace pellix::testing
