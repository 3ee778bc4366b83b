// The table scans as the host's runtime (msvcrt) performs them. The native C library's sscanf
// differs at the edges: it reads "inf", "nan" and hexadecimal floats, takes "1e" as 1 and
// "0x" as a hexadecimal 0; msvcrt stops the scan at each of them. So the native build scans by
// msvcrt's rules:
// - every conversion first skips white space; the end of the line stops the scan;
// - %d: a sign and decimal digits, kept modulo 2^32; %x: a sign, an optional "0x"/"0X" and
//   hexadecimal digits, modulo 2^32;
// - %f: a sign, digits with an optional point (at least one digit), then an exponent "e"/"E"
//   with an optional sign that must have digits; converted like strtod, rounded to float;
// - %*s: a run of characters that are not white space.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "startup/tables.h"

namespace pellix {
namespace {

void SkipSpace(const char*& p) {
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
}

bool Sign(const char*& p) {  // true for a minus
  if (*p == '+' || *p == '-') return *p++ == '-';
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ScanInteger(const char*& p, uint32_t base, uint32_t& out) {
  SkipSpace(p);
  const bool negative = Sign(p);
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  uint32_t value = 0;
  bool any = false;
  for (int d; (d = HexDigit(*p)) >= 0 && static_cast<uint32_t>(d) < base; ++p, any = true) {
    value = value * base + static_cast<uint32_t>(d);
  }
  if (!any) return false;
  out = negative ? 0u - value : value;
  return true;
}

bool ScanInt(const char*& p, int32_t* out) {
  uint32_t value;
  if (!ScanInteger(p, 10, value)) return false;
  if (out) *out = static_cast<int32_t>(value);
  return true;
}

bool ScanHex(const char*& p, uint32_t* out) { return ScanInteger(p, 16, *out); }

bool ScanFloat(const char*& p, float* out) {
  SkipSpace(p);
  const char* start = p;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const char* q = p;
  Sign(q);
  bool any = false;
  while (digit(*q)) ++q, any = true;
  if (*q == '.') {
    ++q;
    while (digit(*q)) ++q, any = true;
  }
  if (!any) return false;
  if (*q == 'e' || *q == 'E') {
    ++q;
    Sign(q);
    if (!digit(*q)) return false;
    while (digit(*q)) ++q;
  }
  char number[TableLineSize + 1];
  const size_t length = static_cast<size_t>(q - start);
  if (length > TableLineSize) return false;  // longer than any line the reader hands over
  std::memcpy(number, start, length);
  number[length] = '\0';
  *out = static_cast<float>(std::strtod(number, nullptr));
  p = q;
  return true;
}

bool SkipWord(const char*& p) {
  SkipSpace(p);
  if (!*p) return false;
  while (*p && !std::isspace(static_cast<unsigned char>(*p))) ++p;
  return true;
}

}  // namespace

int ScanWeaponFields(const char* line, WeaponBallistics& r) {
  const char* p = line;
  if (!ScanInt(p, nullptr)) return 0;
  int stored = 0;
  for (float* f : {&r.speedFactor, &r.dragAlong, &r.dragAcross, &r.pierceCost, &r.ricochetBonus}) {
    if (!ScanFloat(p, f)) return stored;
    ++stored;
  }
  if (!ScanInt(p, &r.tracerEvery)) return stored;
  ++stored;
  for (float* f :
       {&r.ammoTrailLength, &r.tracerTrailLength, &r.ammoTrailWidth, &r.tracerTrailWidth}) {
    if (!ScanFloat(p, f)) return stored;
    ++stored;
  }
  for (int32_t* i : {&r.ammoTrailAlpha, &r.tracerTrailAlpha}) {
    if (!ScanInt(p, i)) return stored;
    ++stored;
  }
  if (!ScanHex(p, &r.tracerColour)) return stored;
  return stored + 1;
}

int ScanSurfaceFields(const char* line, SurfaceBallistics& r) {
  const char* p = line;
  if (!SkipWord(p)) return 0;
  int stored = 0;
  for (float* f : {&r.ricochetThreshold, &r.ricochetAngleLoss, &r.ricochetKeep, &r.ricochetScatter,
                   &r.pierceResistance}) {
    if (!ScanFloat(p, f)) return stored;
    ++stored;
  }
  return stored;
}

}  // namespace pellix
