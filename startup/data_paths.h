// Where start-up finds its files: the folder of the host's executable.
#pragma once
#include <cstddef>

namespace pellix {

inline constexpr size_t PathBufferSize = 260;  // the host's MAX_PATH buffers

// The executable's folder without its final backslash; the whole path when it has none.
extern char dataFolder[PathBufferSize];
// dataFolder + "\pellix.ini"; empty when that does not fit.
extern char settingsPath[PathBufferSize];

inline constexpr const char* SettingsFileName = "\\pellix.ini";
inline constexpr const char* WeaponFileName = "\\pellix_weapon.dat";
inline constexpr const char* SurfaceFileName = "\\pellix_surface.dat";
inline constexpr const char* LogFileName = "\\pellix.log";

// Cuts `executablePath` at its last backslash into dataFolder. False (dataFolder empty) when
// the path does not fit the buffer with its terminator.
bool SetDataFolder(const char* executablePath);

// out := dataFolder + fileName (fileName starts with its backslash). The name has the room
// left after dataFolder; false and an empty `out` when it does not fit, nothing written past.
bool BuildDataPath(char (&out)[PathBufferSize], const char* fileName);

}  // namespace pellix
