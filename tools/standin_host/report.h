// The stand-in's report: one line per check ("PASS name" or "FAIL name: why"), notes, and a
// closing "N passed, M failed" line that the tests read.
#pragma once

namespace standin {

bool Check(bool ok, const char* name);
bool Check(bool ok, const char* name, const char* whyFormat, ...)
    __attribute__((format(printf, 3, 4)));
void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
int Failures();
// Prints the closing line; returns the process exit code (0 when nothing failed).
int Finish();

}  // namespace standin
