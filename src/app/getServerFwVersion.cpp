#include "app/getServerFwVersion.h"

#include <SDL.h>
#include <curl/curl.h>
#include <re2/re2.h>

#include <mutex>

#include "app/firmware_page_url.h"
#include "app/quitWaiting.h"
#include "protocol/DecimalNumber.h"
#include "protocol/FirmwareVersion.h"

namespace {

// A version at the end of a table cell of class "style_td" that is followed
// by a cell starting with a link.
const char kVersionPattern[] = R"((\d+\.\d+\.\d+\.\d+)<\/td><td class="style_td"><a href)";

const long kFetchTimeoutSeconds = 15;
const long kMaxRedirects = 10;
const char kAllowedProtocols[] = "http,https";


struct Download {
  std::string body;
  bool cappedAtLimit = false;
};

size_t collectBody(char* data, size_t size, size_t count, void* user) {
  Download* download = static_cast<Download*>(user);
  const size_t length = size * count;
  const size_t room = kMaxFirmwarePageBytes - download->body.size();
  if (length > room) {
    download->body.append(data, room);
    download->cappedAtLimit = true;
    return 0;  // ends the transfer; what arrived is searched
  }
  download->body.append(data, length);
  return length;
}

// A quit asked for during the fetch gives it up, within about a second.
int giveUpOnQuit(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return quitWaiting() ? 1 : 0;
}

// The page body, or false when none came back.
bool fetchPage(const std::string& url, std::string& body) {
  static std::once_flag curlReady;
  std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  CURL* curl = curl_easy_init();
  if (!curl) {
    return false;
  }
  Download download;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kFetchTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
#if LIBCURL_VERSION_NUM >= 0x075500
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
#else
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
#endif
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, giveUpOnQuit);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
#if LIBCURL_VERSION_NUM >= 0x075700
  // A name look-up that does not answer is left to end on its own thread:
  // the fetch as a whole ends with its time-out, resolution included.
  curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
#endif
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);

  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && download.cappedAtLimit)) {
    return false;
  }
  body.swap(download.body);
  return true;
}

}  // namespace

uint32_t extractFirmwareVersion(const std::string& body) {
  static const RE2 pattern(kVersionPattern, RE2::Latin1);
  const re2::StringPiece text(body.data(), body.size() < kMaxFirmwarePageBytes ? body.size() : kMaxFirmwarePageBytes);
  re2::StringPiece version;
  if (!pattern.ok() || !RE2::PartialMatch(text, pattern, &version)) {
    return 0;
  }
  const char* p = version.data();
  const char* end = p + version.size();
  int64_t parts[4];
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      ++p;  // the dot
    }
    if (!readDecimal(p, end, parts[i])) {
      return 0;
    }
  }
  return packFirmwareVersion(static_cast<uint32_t>(parts[0]), static_cast<uint32_t>(parts[1]),
                             static_cast<uint32_t>(parts[2]), static_cast<uint32_t>(parts[3]));
}

std::string firmwarePageUrl(const Settings& settings) {
  return settings.firmwarePageUrl.empty() ? std::string(TAVIX_FIRMWARE_PAGE_URL) : settings.firmwarePageUrl;
}

uint32_t getServerFwVersion(const Settings& settings) {
  std::string body;
  if (!fetchPage(firmwarePageUrl(settings), body)) {
    return 0;
  }
  return extractFirmwareVersion(body);
}

uint32_t getServerFwVersion() { return getServerFwVersion(Settings()); }

void OpenFirmwareURL(const Settings& settings) {
  const std::string url = firmwarePageUrl(settings);
  if (settings.urlOpener) {
    settings.urlOpener(url);
  } else {
    SDL_OpenURL(url.c_str());
  }
}

void OpenFirmwareURL() { OpenFirmwareURL(Settings()); }
