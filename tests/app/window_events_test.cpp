#include "app_harness.h"
#include "screen/edispSDL.h"

namespace app_test {
namespace {

TEST_F(AppTest, ResizesSnapAndMovesAreStoredUntilQuit) {
  ScriptedUnit unit;
  ASSERT_TRUE(unit.ok());
  struct Step {
    Uint8 event;
    int data1, data2;
    int w, h, scale;  // expected window and scale afterwards (resizes)
  };
  const std::vector<Step> steps = {
      {SDL_WINDOWEVENT_RESIZED, 1000, 700, 1280, 768, 2},
      {SDL_WINDOWEVENT_RESIZED, 1000, 500, 640, 384, 1},
      {SDL_WINDOWEVENT_RESIZED, 960, 576, 1280, 768, 2},  // a half goes up
      {SDL_WINDOWEVENT_RESIZED, 300, 200, 640, 384, 1},
      {SDL_WINDOWEVENT_MOVED, -20, -5, 640, 384, 1},
  };
  struct Seen {
    int w, h, scale;
    uint32_t prefW, prefH;
    unsigned long presents;
  };
  std::vector<Seen> seen;
  size_t next = 0;
  uint32_t storedX = 0, storedY = 0;
  unsigned long presentsBefore = 0;
  std::string fileBeforeQuit;

  EXPECT_EQ(run(config(unit.path()),
                [&](const AppProbe& probe) {
                  if (probe.stage != AppProbe::LoopPass) {
                    return;
                  }
                  if (next > 0 && seen.size() < next) {
                    Seen s{};
                    probe.disp->getWindowSize(&s.w, &s.h);
                    s.scale = probe.scale;
                    s.prefW = (*probe.prefs)["window_w"];
                    s.prefH = (*probe.prefs)["window_h"];
                    s.presents = probe.disp->getPresentCount() - presentsBefore;
                    seen.push_back(s);
                  }
                  if (next < steps.size()) {
                    presentsBefore = probe.disp->getPresentCount();
                    pushWindowEvent(windowIdOf(probe), steps[next].event, steps[next].data1, steps[next].data2);
                    ++next;
                  } else if (seen.size() == steps.size()) {
                    storedX = (*probe.prefs)["window_x"];
                    storedY = (*probe.prefs)["window_y"];
                    fileBeforeQuit = prefsText();
                    pushQuit();
                  }
                }),
            0);

  ASSERT_EQ(seen.size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].w, steps[i].w);
    EXPECT_EQ(seen[i].h, steps[i].h);
    EXPECT_EQ(seen[i].scale, steps[i].scale);
    EXPECT_EQ(seen[i].prefW, static_cast<uint32_t>(steps[i].w));
    EXPECT_EQ(seen[i].prefH, static_cast<uint32_t>(steps[i].h));
    if (steps[i].event == SDL_WINDOWEVENT_RESIZED) {
      EXPECT_GE(seen[i].presents, 1u) << "a resize presents at the new size";
    }
  }
  EXPECT_EQ(storedX, 4294967276u);
  EXPECT_EQ(storedY, 4294967291u);
  EXPECT_EQ(fileBeforeQuit.find("\nwindow_"), std::string::npos) << "moves and resizes reach the file at quit";
  EXPECT_NE(prefsText().find("window_h = 384\nwindow_w = 640\nwindow_x = -20\nwindow_y = -5\n"), std::string::npos)
      << prefsText();
}

}  // namespace
}  // namespace app_test
