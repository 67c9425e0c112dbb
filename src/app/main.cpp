#include <cstdio>

#include "app/App.h"
#include "app/DeviceDiscovery.h"
#include "app/Options.h"
#include "app/getServerFwVersion.h"

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "tavixDisp: %s\n", error.c_str());
    return 2;
  }
  switch (options.action) {
    case Options::Help:
      std::fputs(optionsUsage().c_str(), stdout);
      return 0;
    case Options::Version:
      std::printf("tavixDisp %s\nfirmware page: %s\n", TAVIX_VERSION, firmwarePageUrl(options.config).c_str());
      return 0;
    case Options::List:
      std::printf("Serial devices (* the one used without --device):\n%s",
                  serialDeviceReport(options.config.devDir).c_str());
      return 0;
    case Options::Run:
      break;
  }
  return runTavixDisp(options.config);
}
