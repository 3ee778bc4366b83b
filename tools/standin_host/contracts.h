// The register, stack and x87 contracts checked at every return from host code: a snapshot
// is taken before each jump into host code and compared where the stand-in's code resumes.
#pragma once
#include <cstdint>

#include "glue.h"

namespace standin {

struct Snapshot {
  Regs regs{};  // esp as the snapshotting code had it
  uint16_t cw = 0;
  int depth = 0;
  uint8_t st[8][10]{};
};

const Snapshot& SnapshotOf(int site);
int LastSite();
// Resumptions seen at each resume point, and contract violations in all.
int Resumptions(int where);
int ContractViolations();
int ViolationsAt(int where);
int ContractChecks();
void ResetResumptionCounts();

}  // namespace standin
