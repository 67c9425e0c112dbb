// The demonstration the simulated unit plays: a title page and three more
// pages that show character sizes, Shift_JIS text, colours and attributes,
// shapes on the four layers and JPEG pictures; and the unit's answers to the
// user's input (the arrow keys move a highlighted box, typed characters are
// echoed, a click leaves a mark, the wheel turns the pages, F1-F4 show a
// layer). It only produces bytes; sending them is the caller's business.
#pragma once

#include <string>
#include <vector>

#include "protocol/HostInputDecoder.h"

// A piece of output and how long to wait before sending it, counted from
// the previous piece of the same script.
struct ScriptStep {
  unsigned delayMs = 0;
  std::string bytes;
};
using Script = std::vector<ScriptStep>;

class DemoScript {
public:
  static constexpr int kPageCount = 4;
  static constexpr int kTitlePage = 0;
  static constexpr int kLayersPage = 1;
  static constexpr int kBoxColumns = 8;
  static constexpr int kBoxRows = 3;
  static constexpr unsigned kIntroStepMs = 700;

  explicit DemoScript(const std::string& versionText);

  // Shown while the program is still connecting.
  std::string splash() const;

  // Draws the current page from nothing (the title page with its intro).
  Script showPage();

  // The unit's answer to one input report; empty when there is none.
  Script react(const HostEvent& event);

  int page() const { return currentPage; }
  int shownLayer() const { return layer; }
  int boxColumn() const { return boxCol; }
  int boxRow() const { return boxRowIndex; }
  const std::string& echoText() const { return echo; }

  // Where tile (col, row) of the box grid lies on the title page, in pixels.
  static int tileX(int col);
  static int tileY(int row);
  static constexpr int kTileWidth = 40;
  static constexpr int kTileHeight = 24;

private:
  struct EchoLine {
    int charSize;
    int row;
    int col;
    int width;  // in characters
  };

  static EchoLine echoLine(int page);

  std::string titleBackground() const;
  std::string titleText() const;
  std::string tile(int col, int row, bool highlighted) const;
  std::string layersPage() const;
  std::string textPage(int charSize) const;
  std::string pageHeader(int charSize, const char* title) const;
  std::string echoRedraw() const;
  std::string layerStatus() const;
  std::string mark(const HostEvent& event) const;

  Script goToPage(int page);
  Script moveBox(int dCol, int dRow);
  Script showLayerNumber(int newLayer);
  Script typeChar(char c);
  Script backspace();
  Script clearEcho();

  std::string version;
  int currentPage = kTitlePage;
  int layer = 0;
  int boxCol = 0;
  int boxRowIndex = 0;
  std::string echo;
};
