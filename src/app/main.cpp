#include "app/App.h"

int main(int, char**) {
  return runTavixDisp(AppConfig{});
}
