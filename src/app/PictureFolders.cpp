#include "app/PictureFolders.h"

#include <sys/stat.h>

PictureFolders::PictureFolders(const std::vector<std::string>& all, Tell tell) : tell(std::move(tell)) {
  for (const std::string& folder : all) {
    if (!folder.empty()) folders.push_back(folder.back() == '/' ? folder : folder + '/');
  }
}

std::vector<std::string> PictureFolders::usual(const std::string& given, const std::string& userFolder,
                                               const std::string& programFolder) {
  const auto image = [](const std::string& folder) { return folder.empty() ? folder : folder + "Image/"; };
  return {given, image(userFolder), image(programFolder)};
}

bool PictureFolders::firstTelling(const std::string& name) {
  return tell && told.size() < kMaxTold && told.insert(name).second;
}

std::string PictureFolders::find(const std::string& name) {
  struct stat st;
  for (const std::string& folder : folders) {
    const std::string path = folder + name;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (firstTelling(name)) tell("picture " + name + " from " + folder);
      return path;
    }
  }
  if (firstTelling(name)) {
    std::string where;
    for (const std::string& folder : folders) where += (where.empty() ? "" : ", ") + folder;
    tell("picture " + name + " not found in " + where);
  }
  return folders.empty() ? name : folders.back() + name;
}
