// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Files and folders for tests that work on real ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace pictrane::testing_support {

// A fresh folder per test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string Name = "pictrane-test-";
    if (Info != nullptr) Name += std::string(Info->name()).substr(0, 40) + "-";
    std::random_device Random;
    Name += std::to_string(Random()) + std::to_string(Random());
    for (char& C : Name) {
      if (C == '/' || C == ' ') C = '_';
    }
    Path_ = std::filesystem::temp_directory_path() / Name;
    std::filesystem::create_directories(Path_);
  }
  ~TempDir() {
    std::error_code Ec;
    // Read-only leftovers, the folder itself included, must not keep it alive.
    std::filesystem::permissions(Path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, Ec);
    for (const auto& Entry : std::filesystem::recursive_directory_iterator(Path_, Ec)) {
      std::filesystem::permissions(Entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, Ec);
    }
    std::filesystem::remove_all(Path_, Ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return Path_; }
  std::string operator/(const std::string& Name) const { return (Path_ / Name).string(); }
  // Writes Content into Name in this folder and gives its path.
  std::string File(const std::string& Name, const std::string& Content = "x") const {
    std::ofstream(Path_ / Name, std::ios::binary) << Content;
    return *this / Name;
  }

 private:
  std::filesystem::path Path_;
};

inline void WriteBytes(const std::filesystem::path& File, const std::string& Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out << Bytes;
}

// The file's bytes, or nothing when there is no file.
inline std::optional<std::string> ReadBytes(const std::filesystem::path& File) {
  if (!std::filesystem::exists(File)) return std::nullopt;
  std::ifstream In(File, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// The file's bytes; empty when there is no file.
inline std::string ReadAll(const std::filesystem::path& File) {
  return ReadBytes(File).value_or(std::string());
}

// The names in Folder, in the order the system lists them.
inline std::vector<std::string> FolderNames(const std::filesystem::path& Folder) {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(Folder))
    Names.push_back(Entry.path().filename().string());
  return Names;
}

}  // namespace pictrane::testing_support
