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
    int w, h, scale;  // the window and scale afterwards
  };
  const std::vector<Step> steps = {
      {SDL_WINDOWEVENT_RESIZED, 1000, 700, 1280, 768, 2},
      {SDL_WINDOWEVENT_RESIZED, 1000, 500, 640, 384, 1},
      {SDL_WINDOWEVENT_RESIZED, 960, 576, 1280, 768, 2},  // a half goes up
      {SDL_WINDOWEVENT_RESIZED, 300, 200, 640, 384, 1},
      {SDL_WINDOWEVENT_MOVED, -20, -5, 640, 384, 1},
  };
  size_t next = 0;
  unsigned long presentsBefore = 0;
  uint32_t storedX = 0, storedY = 0;
  std::string fileBeforeQuit;

  EXPECT_EQ(runLoop(config(unit.path()),
                    [&](const AppProbe& probe) {
                      if (next > 0) {
                        const Step& s = steps[next - 1];
                        SCOPED_TRACE(next - 1);
                        int w = 0, h = 0;
                        probe.disp->getWindowSize(&w, &h);
                        EXPECT_EQ(std::vector<int>({w, h, probe.scale}), std::vector<int>({s.w, s.h, s.scale}));
                        EXPECT_EQ((*probe.prefs)["window_w"], static_cast<uint32_t>(s.w));
                        EXPECT_EQ((*probe.prefs)["window_h"], static_cast<uint32_t>(s.h));
                        if (s.event == SDL_WINDOWEVENT_RESIZED) {
                          EXPECT_GT(probe.disp->getPresentCount(), presentsBefore) << "presented at the new size";
                        }
                      }
                      if (next == steps.size()) {
                        storedX = (*probe.prefs)["window_x"];
                        storedY = (*probe.prefs)["window_y"];
                        fileBeforeQuit = prefsText();
                        return false;
                      }
                      presentsBefore = probe.disp->getPresentCount();
                      pushWindowEvent(probe, steps[next].event, steps[next].data1, steps[next].data2);
                      ++next;
                      return true;
                    }),
            0);

  EXPECT_EQ(next, steps.size());
  // Negative positions are stored as their 32-bit pattern and written back as numbers.
  EXPECT_EQ(storedX, 4294967276u);
  EXPECT_EQ(storedY, 4294967291u);
  EXPECT_EQ(fileBeforeQuit.find("\nwindow_"), std::string::npos) << "moves and resizes reach the file at quit";
  EXPECT_NE(prefsText().find("window_h = 384\nwindow_w = 640\nwindow_x = -20\nwindow_y = -5\n"), std::string::npos)
      << prefsText();
}

}  // namespace
}  // namespace app_test
