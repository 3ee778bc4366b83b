// Scratch files for the start-up tests, in the system's temporary folder.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace pellix::testing {

// A fresh, empty folder of the given name under the temporary folder.
inline std::filesystem::path ScratchFolder(const std::string& name) {
  const auto folder = std::filesystem::temp_directory_path() / ("pellix_h1_" + name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// Writes `bytes` exactly (binary: line ends as given).
inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::FILE* out = std::fopen(file.string().c_str(), "wb");
  if (!out) return;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

}  // namespace pellix::testing
