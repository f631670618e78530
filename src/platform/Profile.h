#pragma once

#include <string>
#include <vector>

namespace pictrane {

// The profile functions: one INI file read and written as the system's documented profile
// functions do it. Names compare without regard to case; every call goes to the file.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // Leaves an empty File when the existence test does not find it, as opening it for appending
  // does. Raises RaisedError naming the file and the reason when it cannot be created.
  virtual void CreateIfMissing(const std::string& File) = 0;

  // The value of Key in Section, whole, or "" when either is missing.
  virtual std::string ReadString(const std::string& File, const std::string& Section,
                                 const std::string& Key) = 0;
  // Key names of Section in file order (the first of duplicates only).
  virtual std::vector<std::string> KeyNames(const std::string& File,
                                            const std::string& Section) = 0;
  virtual std::vector<std::string> SectionNames(const std::string& File) = 0;

  // Writes never report the profile functions' own failures (a read-only file stays as it is).
  virtual void WriteString(const std::string& File, const std::string& Section,
                           const std::string& Key, const std::string& Value) = 0;
  virtual void DeleteKey(const std::string& File, const std::string& Section,
                         const std::string& Key) = 0;
  virtual void DeleteSection(const std::string& File, const std::string& Section) = 0;
};

}  // namespace pictrane
