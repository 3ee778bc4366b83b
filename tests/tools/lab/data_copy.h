// A copy of the sample data folder in a fresh temporary folder, with one line of one file
// replaced, for tests that compare or rewrite data.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tools/lab/weapon_line.h"

namespace pellix::lab {

inline std::filesystem::path FreshFolder(const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("pellix-lab-" + name + "-" +
                                                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline std::string CopySampleData(const std::string& name) {
  const std::filesystem::path dir = FreshFolder(name);
  for (const char* file : {"pellix.ini", "pellix_weapon.dat", "pellix_surface.dat"})
    std::filesystem::copy_file(std::filesystem::path(PELLIX_SAMPLE_DATA) / file, dir / file);
  return dir.string();
}

// A folder of the three files with these texts.
inline std::string WriteDataFolder(const std::string& name, const std::string& ini,
                                   const std::string& weapons, const std::string& surfaces) {
  const std::filesystem::path dir = FreshFolder(name);
  std::string error;
  EXPECT_TRUE(WriteFileBytes((dir / "pellix.ini").string(), ini, error)) << error;
  EXPECT_TRUE(WriteFileBytes((dir / "pellix_weapon.dat").string(), weapons, error)) << error;
  EXPECT_TRUE(WriteFileBytes((dir / "pellix_surface.dat").string(), surfaces, error)) << error;
  return dir.string();
}

// Replaces the first occurrence of `from` in DIR/FILE by `to`.
inline void EditFile(const std::string& dir, const char* file, const std::string& from,
                     const std::string& to) {
  const std::string path = dir + "/" + file;
  std::string bytes, error;
  ASSERT_TRUE(ReadFileBytes(path, bytes));
  const size_t at = bytes.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  bytes.replace(at, from.size(), to);
  ASSERT_TRUE(WriteFileBytes(path, bytes, error)) << error;
}

}  // namespace pellix::lab
