// A fuzz input written to a file of its own in the temporary folder, removed again on exit.
// Each file gets a new name: the Windows profile functions cache what they read by name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pellix::fuzz {

class TempFile {
 public:
  TempFile(const char* suffix, const uint8_t* data, size_t size);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return ok_; }
  // The full path in this platform's form (backslashes on Windows).
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
  bool ok_ = false;
};

}  // namespace pellix::fuzz
