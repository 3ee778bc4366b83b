// The host's code bytes: what the stand-in lays at the fixed addresses before the plug-in is
// loaded, the variants a scenario can ask for, and the check of what the plug-in wrote.
#pragma once
#include <cstdint>

namespace standin {

enum class ResetLayout {
  Primary,             // the untouched sequence at the primary address
  Alternative,         // the untouched sequence at the alternative address (primary - 0x40)
  ForeignPrimary,      // another plug-in's call over the sequence at the primary address
  ForeignAlternative,  // the same at the alternative address
  Neither,             // neither address holds a sequence the plug-in knows
};

struct HostVariant {
  ResetLayout reset[4] = {ResetLayout::Primary, ResetLayout::Primary, ResetLayout::Primary,
                          ResetLayout::Primary};
  int foreignTarget[4] = {0, 1, 2, 3};  // which foreign routine each foreign call targets
  int mismatchRow = 0;                  // a row (5 to 17) whose first byte is not the expected
  bool faultyHost = false;  // host code that breaks the contracts, to prove the checks catch it
};

// Lays the host's code and data, points the jump slots at the stand-in's code, and leaves the
// code pages read-execute as a game's code is.
void LayHost(const HostVariant& variant);

// The address at which Reset site k (0 = A .. 3 = D) holds its sequence or foreign call.
uint32_t ResetSequenceAddress(int k);
uint32_t ForeignTarget(int index);

// Runs the host's Reset sequence of site k; returns EAX as the host's code sees it afterwards.
uint32_t RunResetSequence(int k);

// Checks every row against what the plug-in should have written: rows in `patched` (bit n for
// row n) carry exactly their patch with displacements into [dllBase, dllEnd), the others and
// every byte outside the patches are as laid, and the protection of every patched byte is
// the code's read-execute. Reports one PASS/FAIL line per row and one for the rest.
void VerifyRows(uint32_t patched, uint32_t dllBase, uint32_t dllEnd);

// The target of the jump or call written at row n (0 if none).
uint32_t RowTarget(int row);

inline constexpr uint32_t kAllRows = 0x3FFFE;  // bits 1 to 17

}  // namespace standin
