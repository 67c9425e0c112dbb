// Where the unit's pictures are found: first in the folder given with
// --images, then in Image/ under the user's data folder for this program,
// then in Image/ beside the executable. Told, if asked, which folder each
// picture came from, or that none has it, the first time it is looked up.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

class PictureFolders {
public:
  using Tell = std::function<void(const std::string& text)>;

  // Folders with their trailing separator, in the order they are searched;
  // empty ones are left out. tell may be empty.
  PictureFolders(const std::vector<std::string>& folders, Tell tell);
  // The folders in the usual order: the one given, then Image/ under the
  // user's data folder and under the program's folder (each given with its
  // trailing separator); an empty one has none.
  static std::vector<std::string> usual(const std::string& given, const std::string& userFolder,
                                        const std::string& programFolder);

  // The path of picture `name` ("5.jpg", "3/5.jpg") in the first folder
  // that has it; in the last folder when none does.
  std::string find(const std::string& name);

private:
  // Pictures whose folder has been told; beyond this many, no more are.
  static constexpr std::size_t kMaxTold = 4096;
  // True the first time a picture is told of, while telling is wanted.
  bool firstTelling(const std::string& name);

  std::vector<std::string> folders;
  Tell tell;
  std::set<std::string> told;
};
