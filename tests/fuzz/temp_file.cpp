#include "tests/fuzz/temp_file.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace pellix::fuzz {

TempFile::TempFile(const char* suffix, const uint8_t* data, size_t size) {
  static unsigned counter = 0;
  static const unsigned process = std::random_device{}();  // apart from parallel runs
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = std::filesystem::current_path();
  // Binary: the bytes reach the file exactly, line ends and Ctrl-Z included.
  const std::string name =
      "pellix_fuzz_" + std::to_string(process) + "_" + std::to_string(++counter) + suffix;
  path_ = (folder / name).string();
  if (std::FILE* file = std::fopen(path_.c_str(), "wb")) {
    ok_ = size == 0 || std::fwrite(data, 1, size, file) == size;
    ok_ = std::fclose(file) == 0 && ok_;
  }
}

TempFile::~TempFile() { std::remove(path_.c_str()); }

}  // namespace pellix::fuzz
