// A private scratch folder for members extracted only to be checked. Made fresh with a
// unique name (creation fails rather than reusing a folder someone else prepared) and
// removed with everything put in it when the command ends.
#pragma once
#include <string>
#include <vector>

namespace kxpack {

class ScratchDir {
 public:
  ScratchDir() = default;
  ~ScratchDir();
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;

  // Creates the folder under the user's temporary folder. False with a reason on failure.
  bool Create(std::string *why);
  // A fresh file path inside the folder, removed with it; the file itself is not created.
  std::string NewPath(const char *suffix);

 private:
  std::string dir_;
  std::vector<std::string> paths_;
  unsigned next_ = 0;
};

}  // namespace kxpack
