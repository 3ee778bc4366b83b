// The fuzz targets. Each runs one input and returns null when every invariant held, else a
// description of the first one broken. The libFuzzer drivers abort on a failure; the corpus
// replay tests report it. Crashes and sanitizer reports are caught by the run itself.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pellix::fuzz {

// The INI reader: input byte 0 sizes the text buffer, the rest is the file.
const char* FuzzSettingsFile(const uint8_t* data, size_t size);
// The weapon and surface readers: byte 0 is the weapon row count, the rest is read as both
// files, whole and line by line.
const char* FuzzTableFiles(const uint8_t* data, size_t size);
// The whole start-up: the input is the INI file, the weapon file and the surface file, apart
// from each other by the line "#%#"; an empty surface part leaves that file out.
const char* FuzzStartup(const uint8_t* data, size_t size);
extern int32_t lastStartupOutcome;  // the StartupOutcome of the last run, -1 when none ran
// Shots, force steps, impacts and trail updates with arbitrary table rows, settings and hit
// geometry.
const char* FuzzSimSequence(const uint8_t* data, size_t size);
// Whole frames of the host's loops through the loop model over a world from the input.
const char* FuzzLoopFrames(const uint8_t* data, size_t size);

}  // namespace pellix::fuzz
