#include "app/PictureFolders.h"

#include <sys/stat.h>

PictureFolders::PictureFolders(const std::vector<std::string>& all, Tell tell) : tell(std::move(tell)) {
  for (const std::string& folder : all) {
    if (!folder.empty()) folders.push_back(folder.back() == '/' ? folder : folder + '/');
  }
}

std::string PictureFolders::find(const std::string& name) {
  struct stat st;
  for (const std::string& folder : folders) {
    const std::string path = folder + name;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (tell && told.size() < kMaxTold && told.insert(name).second) tell("picture " + name + " from " + folder);
      return path;
    }
  }
  if (tell && told.size() < kMaxTold && told.insert(name).second) {
    std::string where;
    for (const std::string& folder : folders) where += (where.empty() ? "" : ", ") + folder;
    tell("picture " + name + " not found in " + where);
  }
  return folders.empty() ? name : folders.back() + name;
}
