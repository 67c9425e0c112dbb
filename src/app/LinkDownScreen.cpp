#include "app/LinkDownScreen.h"

#include "screen/ScreenIntf.h"

namespace {

const int kNotConnectedRow = 11;
const int kNotConnectedCol = 33;
const char kNotConnected[] = "Not Connected.";

}  // namespace

void showLinkLost(ScreenIntf& screen) {
  screen.clear();
  screen.clear_bgbuff(0);
}

void showReconnecting(ScreenIntf& screen) {
  screen.move(kNotConnectedRow, kNotConnectedCol);
  screen.set_attribute(0);
  screen.puts_(kNotConnected, 0);
}
