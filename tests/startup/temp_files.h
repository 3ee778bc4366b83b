// Scratch files for the start-up tests, in the system's temporary folder. Natively every test
// case runs as its own process, possibly beside another case of the same suite, so each process
// gets folders of its own, removed when it ends.
#pragma once
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace pellix::testing {

class ScratchFolders {
 public:
  static ScratchFolders& Instance() {
    static ScratchFolders instance;
    return instance;
  }
  std::filesystem::path Make(const std::string& name) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("pellix_test_" + name + "_" + token_);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder);
    made_.push_back(folder);
    return folder;
  }
  ~ScratchFolders() {
    std::error_code error;
    for (const auto& folder : made_) std::filesystem::remove_all(folder, error);
  }

 private:
  ScratchFolders() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    token_ = std::to_string(std::random_device{}()) + "_" + std::to_string(now);
  }
  std::string token_;
  std::vector<std::filesystem::path> made_;
};

// A fresh, empty folder whose name begins "pellix_test_<name>_" under the temporary folder.
inline std::filesystem::path ScratchFolder(const std::string& name) {
  return ScratchFolders::Instance().Make(name);
}

// Writes `bytes` exactly (binary: line ends as given).
inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::FILE* out = std::fopen(file.string().c_str(), "wb");
  if (!out) return;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

}  // namespace pellix::testing
