#include "app/Prefs.h"

#include <SDL_filesystem.h>
#include <SDL_stdinc.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/writeAll.h"

namespace {

const char kPrefsOrg[] = "tavixProject";
const char kPrefsApp[] = "tavixDisp";

// The fixed head of the file, written whatever the map holds.
const char* const kCommentLines[] = {
    "; baudrate: COMポートの通信速度。通常使用時は変更する必要はありません。\n",
    "; checked_date: ファームアウェアの更新を最後にチェックした日付\n",
    "; checked_fw_ver: 最後に確認したファームウェアのバージョン\n",
    "; enable_joystick: 1に設定する事でPCに接続されたジョイスティック操作を有効化(方向キー=↑↓←→,ボタン１=Enter,ボタン2=BS)\n",
    "; window_x, window_y: 前回終了時のウィンドウ位置\n",
};

const char kCommentMark = ';';
// Longest name the reader takes; longer ones are not names.
const size_t kMaxNameLength = 31;
// The reader takes at most this much of a file. A line that the bound cuts
// is dropped with everything after it.
const size_t kMaxFileBytes = 64 * 1024;

}  // namespace

std::string prefsDirectory(const Settings& settings) {
  if (!settings.prefsDir.empty()) {
    return settings.prefsDir.back() == '/' ? settings.prefsDir : settings.prefsDir + '/';
  }
  char* dir = SDL_GetPrefPath(kPrefsOrg, kPrefsApp);
  if (dir == nullptr) return std::string();
  std::string result(dir);
  SDL_free(dir);
  return result;
}

namespace {

bool isLineBreak(unsigned char c) { return c == '\n' || c == '\r'; }

// Blanks as the C library's isspace sees them, line breaks excepted.
bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// A name the reader gives back unchanged: 1 to 31 bytes, no blank, line
// break or zero byte, not starting with the comment mark.
bool isReadableName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameLength || name[0] == kCommentMark) return false;
  for (unsigned char c : name) {
    if (c == 0 || isBlank(c) || isLineBreak(c)) return false;
  }
  return true;
}

// Parses "name = number" in text[0, len). Numbers from -2147483648 to
// 4294967295 are taken, negative ones as their 32-bit pattern; anything
// after the number is ignored.
bool parseEntry(const unsigned char* text, size_t len, std::string* name, uint32_t* value) {
  size_t i = 0;
  while (i < len && isBlank(text[i])) ++i;
  const size_t nameStart = i;
  while (i < len && !isBlank(text[i])) ++i;
  const size_t nameLength = i - nameStart;
  if (nameLength == 0 || nameLength > kMaxNameLength) return false;

  while (i < len && isBlank(text[i])) ++i;
  if (i >= len || text[i] != '=') return false;
  ++i;
  while (i < len && isBlank(text[i])) ++i;

  bool negative = false;
  if (i < len && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const uint64_t limit = negative ? 2147483648ULL : 4294967295ULL;
  uint64_t magnitude = 0;
  size_t digits = 0;
  while (i < len && text[i] >= '0' && text[i] <= '9') {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) return false;
    ++i;
    ++digits;
  }
  if (digits == 0) return false;

  name->assign(reinterpret_cast<const char*>(text + nameStart), nameLength);
  *value = negative ? static_cast<uint32_t>(0 - magnitude) : static_cast<uint32_t>(magnitude);
  return true;
}

// Links followed from the preference file to the file they lead to.
const int kMaxLinkHops = 40;

bool readAll(int fd, std::string& data) {
  char chunk[4096];
  for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) != 0;) {
    if (n < 0 && errno != EINTR) return false;
    if (n > 0) data.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

std::string formatContents(const PreferenceMap& prefs) {
  std::string contents;
  for (const char* line : kCommentLines) contents += line;
  for (const auto& entry : prefs) {
    // A name the reader could not give back would corrupt the file.
    if (!isReadableName(entry.first)) continue;
    char value[16];
    SDL_snprintf(value, sizeof value, " = %d\n", static_cast<int32_t>(entry.second));
    contents += entry.first + value;
  }
  return contents;
}

// Replaces path by the file a chain of symbolic links starting there leads
// to (which need not exist yet); false when the chain does not end.
bool followLinks(std::string& path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    char link[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof link) return true;  // not a link
    const std::string to(link, static_cast<size_t>(n));
    path = to[0] == '/' ? to : path.substr(0, path.rfind('/') + 1) + to;
  }
  return false;
}

// Removes the new files that writers killed before their rename left
// beside path: "<name>.<pid>.tmp" of a process that no longer runs.
void removeStaleTemps(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
  DIR* folder = ::opendir(dir.c_str());
  if (!folder) return;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0) {
      continue;
    }
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) ::unlink((dir + name).c_str());
  }
  ::closedir(folder);
}

// Writes the contents to a new file beside path and renames it over path,
// so a failure never leaves a half-written file. 0 or the error.
int replaceFile(const std::string& path, const std::string& contents) {
  const std::string tempPath = path + "." + std::to_string(static_cast<long>(getpid())) + ".tmp";
  int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    ::unlink(tempPath.c_str());
    fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_TRUNC | O_CLOEXEC, 0666);
  }
  if (fd < 0) return errno;
  // The file keeps the permissions it had.
  struct stat old;
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);

  int error = writeAll(fd, contents.data(), contents.size()) && ::fsync(fd) == 0 ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(tempPath.c_str());
  if (error == 0) removeStaleTemps(path);
  return error;
}

// Overwrites an existing file where it is, for when no file can be made
// beside it. The old contents are kept until the new ones are all written,
// and put back when that fails part-way; damaged tells when that failed too.
int writeInPlace(const std::string& path, const std::string& contents, bool& damaged) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat file;
  std::string old;
  int error = 0;
  if (::fstat(fd, &file) != 0) {
    error = errno;
  } else if (!S_ISREG(file.st_mode)) {
    error = EINVAL;
  } else if (!readAll(fd, old)) {
    error = errno;
  } else if (::lseek(fd, 0, SEEK_SET) != 0 || !writeAll(fd, contents.data(), contents.size()) ||
             ::ftruncate(fd, static_cast<off_t>(contents.size())) != 0 || ::fsync(fd) != 0) {
    error = errno;
    // Each step of putting back is tried, also after one that failed.
    bool putBack = ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, old.data(), old.size());
    putBack = ::ftruncate(fd, static_cast<off_t>(old.size())) == 0 && putBack;
    putBack = ::fsync(fd) == 0 && putBack;
    damaged = !putBack;
  }
  ::close(fd);
  return error;
}

}  // namespace

int readDataToMap1Line(const unsigned char* data, unsigned long length, PreferenceMap& prefs) {
  if (data == nullptr) return 0;
  // The count of consumed bytes has to fit the result.
  if (length > static_cast<unsigned long>(INT_MAX)) length = INT_MAX;
  size_t lineLength = 0;
  while (lineLength < length && !isLineBreak(data[lineLength])) ++lineLength;

  // A zero byte ends the text of a line.
  size_t textLength = 0;
  while (textLength < lineLength && data[textLength] != 0) ++textLength;

  if (textLength > 0 && data[0] != kCommentMark) {
    std::string name;
    uint32_t value = 0;
    if (parseEntry(data, textLength, &name, &value)) prefs[name] = value;
  }

  size_t consumed = lineLength;
  while (consumed < length && isLineBreak(data[consumed])) ++consumed;
  return static_cast<int>(consumed);
}

void readPrefsData(const char* fileName, PreferenceMap& prefs) { readPrefsData(Settings(), fileName, prefs); }

void writePrefsData(const char* fileName, const PreferenceMap& prefs) { writePrefsData(Settings(), fileName, prefs); }

void readPrefsData(const Settings& settings, const char* fileName, PreferenceMap& prefs) {
  if (fileName == nullptr) return;
  const std::string dir = prefsDirectory(settings);
  if (dir.empty()) return;
  std::FILE* file = std::fopen((dir + fileName).c_str(), "rb");
  if (file == nullptr) return;

  std::vector<unsigned char> buffer(kMaxFileBytes + 1);
  size_t length = std::fread(buffer.data(), 1, buffer.size(), file);
  std::fclose(file);
  if (length > kMaxFileBytes) {
    // Too long: keep the whole lines within the bound.
    length = kMaxFileBytes;
    while (length > 0 && !isLineBreak(buffer[length - 1])) --length;
  }

  size_t offset = 0;
  while (offset < length) {
    const int consumed = readDataToMap1Line(buffer.data() + offset, length - offset, prefs);
    if (consumed <= 0) break;
    offset += static_cast<size_t>(consumed);
  }
}

void writePrefsData(const Settings& settings, const char* fileName, const PreferenceMap& prefs) {
  if (fileName == nullptr) return;
  const std::string dir = prefsDirectory(settings);
  if (dir.empty()) {
    std::fprintf(stderr, "tavixDisp: preferences not saved to %s: no preference directory\n", fileName);
    return;
  }
  // A link stays a link: the file it leads to is written.
  std::string path = dir + fileName;
  const std::string contents = formatContents(prefs);
  int error = followLinks(path) ? replaceFile(path, contents) : ELOOP;
  bool damaged = false;
  if (error != 0) {
    // A folder that takes no new file can still hold a file that can be
    // written; with no such file the first failure is the one to tell.
    const int inPlace = writeInPlace(path, contents, damaged);
    if (inPlace != ENOENT) error = inPlace;
  }
  if (error != 0) {
    std::fprintf(stderr, "tavixDisp: preferences not saved to %s: %s%s\n", path.c_str(), std::strerror(error),
                 damaged ? " (its old contents could not be put back)" : "");
  }
}

uint32_t encodeDate(const struct tm& date) {
  const uint32_t year = static_cast<uint32_t>(date.tm_year + 1900);
  const uint32_t month = static_cast<uint32_t>(date.tm_mon);
  const uint32_t day = static_cast<uint32_t>(date.tm_mday);
  return (year << 16) | (month << 8) | day;
}

uint32_t getTodayDate() {
  const time_t now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) == nullptr) return 0;
  return encodeDate(local);
}
