#include "DemoScript.h"

#include <cstdio>

#include "UnitStream.h"

namespace {

const int kScreenW = 640;
const int kScreenH = 384;
const int kColumns[3] = {160, 128, 80};  // cells per row in each character size
const int kAsciiAdvance[3] = {2, 1, 1};  // cells one ASCII character takes in each size
const int kHeaderH = 48;

// Attribute codes of the text screen.
const int kReset = 0, kBold = 1, kUnderline = 4, kReverse = 7;
const int kRed = 31, kGreen = 32, kYellow = 33, kBlue = 34, kMagenta = 35, kCyan = 36,
          kWhite = 37;
const int kOnBlack = 40, kOnBlue = 44;

const int kHeaderColour = rgb555(32, 64, 160);
const int kTileColour = rgb555(40, 40, 72);
const int kTileEdgeColour = rgb555(96, 96, 160);
const int kHighlightColour = rgb555(248, 200, 0);
const int kWhiteColour = rgb555(248, 248, 248);
const int kMarkColour = rgb555(248, 80, 80);

const int kTileGap = 8;
const int kTileLeft = 32;
const int kTileTop = 208;

const char* const kPageTitles[DemoScript::kPageCount] = {
    "Title", "Layers and pictures", "Small text (4 x 8 cells)", "Medium text (5 x 12 cells)"};

std::string pageNumber(int page) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Page %d/%d", page + 1, DemoScript::kPageCount);
  return buf;
}

// A hue wheel in RGB555 for the colourful bits.
int hue(int index, int steps) {
  int h = index * 6 * 256 / steps;  // 0 .. 6*256
  int seg = h / 256, f = h % 256;
  int r = 0, g = 0, b = 0;
  switch (seg % 6) {
    case 0: r = 255; g = f; break;
    case 1: r = 255 - f; g = 255; break;
    case 2: g = 255; b = f; break;
    case 3: g = 255 - f; b = 255; break;
    case 4: r = f; b = 255; break;
    default: r = 255; b = 255 - f; break;
  }
  return rgb555(r, g, b);
}

}  // namespace

DemoScript::DemoScript(const std::string& versionText) : version(versionText) {}

int DemoScript::tileX(int col) { return kTileLeft + col * (kTileWidth + kTileGap); }
int DemoScript::tileY(int row) { return kTileTop + row * (kTileHeight + kTileGap); }

DemoScript::EchoLine DemoScript::echoLine(int page) {
  switch (page) {
    case kTitlePage: return {2, 20, 8, 70};
    case kLayersPage: return {2, 21, 8, 70};
    case 2: return {0, 44, 14, 70};
    default: return {1, 29, 10, 110};
  }
}

std::string DemoScript::splash() const {
  UnitStream s;
  s.initScreen().charSize(2).showLayer(0);
  s.fillRect(0, kScreenW, kHeaderH, 0, 0, kHeaderColour);
  s.move(1, 2).attributes({kBold}).text("T.A.V.I.X").attributes({kReset});
  s.move(11, 26).text("Unit simulator, firmware ").text(version);
  s.move(13, 26).text("Connecting...");
  return s.take();
}

Script DemoScript::showPage() {
  layer = 0;
  if (currentPage == kTitlePage) {
    // The three character sizes one after another: changing the size
    // clears the text, so each gets its moment before the page settles.
    Script script;
    UnitStream a;
    a.initScreen().showLayer(0).raw(titleBackground());
    a.charSize(0).move(20, 44).attributes({kWhite}).text("Character size 0: cells of 4 x 8 pixels, 160 x 48 of them");
    a.move(22, 44).attributes({kYellow}).japanese("美咲ゴシック　小さな文字も読めます").attributes({kReset});
    script.push_back({0, a.take()});
    UnitStream b;
    b.charSize(1).move(13, 35).text("Character size 1: cells of 5 x 12 pixels, 128 x 32");
    b.move(15, 35).attributes({kCyan}).japanese("Ｍ＋フォント　中くらいの文字").attributes({kReset});
    script.push_back({kIntroStepMs, b.take()});
    UnitStream c;
    c.charSize(2).raw(titleText());
    for (int row = 0; row < kBoxRows; ++row)
      for (int col = 0; col < kBoxColumns; ++col)
        c.raw(tile(col, row, col == boxCol && row == boxRowIndex));
    c.raw(echoRedraw());
    script.push_back({kIntroStepMs, c.take()});
    return script;
  }
  if (currentPage == kLayersPage) return {{0, layersPage() + echoRedraw()}};
  return {{0, textPage(currentPage == 2 ? 0 : 1) + echoRedraw()}};
}

std::string DemoScript::titleBackground() const {
  UnitStream s;
  // A dusk gradient below the header band.
  const int bands = (kScreenH - kHeaderH) / 16;
  for (int i = 0; i < bands; ++i) {
    int r = 24 - 24 * i / bands, g = 32 - 32 * i / bands, b = 88 - 64 * i / bands;
    s.fillRect(0, kScreenW, 16, 0, kHeaderH + 16 * i, rgb555(r, g, b));
  }
  s.fillRect(0, kScreenW, kHeaderH, 0, 0, kHeaderColour);
  s.line(0, 0, kHeaderH, kScreenW - 1, kHeaderH, kHighlightColour);
  // Shapes in the frame on the right.
  s.rect(0, 192, 136, 440, 56, kTileEdgeColour);
  s.line(0, 440, 56, 631, 191, kHighlightColour);
  s.line(0, 631, 56, 440, 191, kHighlightColour);
  s.ellipse(0, true, 536, 124, 70, 44, rgb555(0, 160, 120));
  s.ellipse(0, false, 536, 124, 84, 56, kWhiteColour);
  s.ellipse(0, true, 462, 78, 10, 10, rgb555(248, 64, 64));
  s.ellipse(0, true, 610, 78, 10, 10, rgb555(64, 248, 64));
  s.ellipse(0, true, 462, 170, 10, 10, rgb555(64, 96, 248));
  s.ellipse(0, true, 610, 170, 10, 10, rgb555(248, 64, 248));
  // A picture in the corner, framed.
  s.picture(3, 0, 448, 216);
  s.rect(0, 162, 122, 447, 215, kWhiteColour);
  return s.take();
}

std::string DemoScript::titleText() const {
  UnitStream s;
  s.move(1, 2).attributes({kBold, kWhite}).text("T.A.V.I.X  Display Demo").attributes({kReset});
  s.move(1, 56).text("firmware ").text(version);
  s.move(4, 2).attributes({kYellow}).japanese("ようこそ！タビックス表示端末のデモです。");
  s.move(5, 2).attributes({kCyan}).japanese("ﾊﾝｶｸ ｶﾀｶﾅ").attributes({kReset}).text(" (half-width kana)");
  s.move(6, 2).text("Colours:");
  const int colours[] = {kRed, kGreen, kYellow, kBlue, kMagenta, kCyan, kWhite};
  const char* const names[] = {"red", "green", "yellow", "blue", "magenta", "cyan", "white"};
  for (int i = 0; i < 7; ++i) s.text(" ").attributes({colours[i]}).text(names[i]);
  s.attributes({kReset});
  s.move(7, 2).text("Backgrounds:");
  for (int code = 41; code <= 47; ++code) {
    s.text(" ").attributes({code == 43 || code == 47 ? 30 : kWhite, code});
    s.text(" " + std::to_string(code) + " ").attributes({kReset});
  }
  s.move(8, 2).text("Attributes: ").attributes({kBold}).text("bold").attributes({kReset}).text(" ");
  s.attributes({kUnderline}).text("underline").attributes({kReset}).text(" ");
  // Reverse swaps text and background colour: give the background a colour
  // of its own, or the letters would be see-through.
  s.attributes({kOnBlack, kReverse}).text("reverse").attributes({kReset}).text(" ");
  s.attributes({kOnBlack, kReverse, kRed}).text("reverse red").attributes({kReset});
  s.move(9, 2).text("Sizes: 4x8, 5x12, 8x16 (Home replays them)");
  s.move(12, 4).text("The arrow keys move the box:");
  s.move(20, 2).text("Type:");
  s.move(22, 2).attributes({kGreen}).text("Arrows: box  Keys: echo  Click: mark  Wheel, PgUp, PgDn: pages");
  s.move(23, 2).text("F1-F4: layers  Home: title  Enter: clear the line").attributes({kReset});
  return s.take();
}

std::string DemoScript::tile(int col, int row, bool highlighted) const {
  UnitStream s;
  int x = tileX(col), y = tileY(row);
  s.fillRect(0, kTileWidth, kTileHeight, x, y, highlighted ? kHighlightColour : kTileColour);
  s.rect(0, kTileWidth, kTileHeight, x, y, highlighted ? kWhiteColour : kTileEdgeColour);
  return s.take();
}

std::string DemoScript::pageHeader(int charSize, const char* title) const {
  UnitStream s;
  std::string line = " " + pageNumber(currentPage) + "  " + title;
  line.resize(kColumns[charSize] / kAsciiAdvance[charSize], ' ');
  s.move(0, 0).attributes({kWhite, kOnBlue}).text(line).attributes({kReset});
  return s.take();
}

std::string DemoScript::layersPage() const {
  UnitStream s;
  s.initScreen().charSize(2).showLayer(0);
  // Layer 0: shapes.
  s.fillRect(0, kScreenW, kScreenH, 0, 0, rgb555(16, 16, 40));
  for (int i = 0; i < 24; ++i) {
    static const int dx[24] = {200, 193, 173, 141, 100, 52, 0, -52, -100, -141, -173, -193,
                               -200, -193, -173, -141, -100, -52, 0, 52, 100, 141, 173, 193};
    int x2 = 320 + dx[i], y2 = 208 + dx[(i + 18) % 24] * 3 / 4;
    s.line(0, 320, 208, x2, y2, hue(i, 24));
  }
  for (int i = 0; i < 4; ++i) s.rect(0, 600 - 40 * i, 300 - 40 * i, 20 + 20 * i, 48 + 20 * i, hue(i * 3, 12));
  for (int i = 0; i < 12; ++i) {
    static const int cx[12] = {120, 104, 60, 0, -60, -104, -120, -104, -60, 0, 60, 104};
    s.ellipse(0, true, 320 + cx[i], 208 + cx[(i + 9) % 12] * 3 / 4, 18, 14, hue(i, 12));
  }
  s.ellipse(0, false, 320, 208, 150, 110, kWhiteColour);
  s.ellipse(0, true, 320, 208, 30, 30, kWhiteColour);
  // Layer 1: the test pattern; layer 2: a photograph with a smaller one on it;
  // layer 3: the pictures of folder 1.
  s.picture(1, 1, 0, 0);
  s.picture(2, 2, 0, 0);
  s.picture(3, 2, 464, 40);
  s.fillRect(3, kScreenW, kScreenH, 0, 0, rgb555(24, 24, 24));
  for (int i = 0; i < 8; ++i) s.folderPicture(i + 1, 3, 1, 16 + (i % 4) * 156, 56 + (i / 4) * 112);
  s.raw(pageHeader(2, kPageTitles[kLayersPage]));
  s.move(1, 0).attributes({kWhite, kOnBlack});
  s.text(" 0: shapes  1: test pattern  2: photographs  3: picture folder 1 ").attributes({kReset});
  s.move(21, 0).attributes({kWhite, kOnBlack}).text(" Type: ").attributes({kReset});
  s.move(22, 0).attributes({kGreen, kOnBlack});
  s.text(" F1-F4 or the wheel left/right show a layer; click to leave a mark ").attributes({kReset});
  s.raw(layerStatus());
  return s.take();
}

std::string DemoScript::layerStatus() const {
  UnitStream s;
  s.move(23, 0).attributes({kYellow, kOnBlack}).text(" Shown layer: " + std::to_string(layer) + " ");
  s.attributes({kReset});
  return s.take();
}

std::string DemoScript::textPage(int charSize) const {
  UnitStream s;
  s.initScreen().charSize(charSize).showLayer(0);
  s.fillRect(0, kScreenW, kScreenH, 0, 0, rgb555(8, 16, 40));
  s.rect(0, kScreenW - 8, kScreenH - 8, 4, 4, kTileEdgeColour);
  s.raw(pageHeader(charSize, kPageTitles[currentPage]));
  int row = 2;
  std::string ascii;
  for (int c = 0x20; c <= 0x7E; ++c) ascii.push_back(static_cast<char>(c));
  const int indent = 2 + 7 * kAsciiAdvance[charSize];
  s.move(row++, 2).text("ASCII: ").text(ascii.substr(0, 64));
  s.move(row++, indent).text(ascii.substr(64));
  ++row;
  s.move(row++, 2).attributes({kYellow}).japanese("いろはにほへと　ちりぬるを　わかよたれそ　つねならむ");
  s.move(row++, 2).japanese("うゐのおくやま　けふこえて　あさきゆめみし　ゑひもせす");
  s.move(row++, 2).attributes({kWhite}).japanese("色は匂へど散りぬるを我が世誰ぞ常ならむ");
  s.move(row++, 2).japanese("有為の奥山今日越えて浅き夢見じ酔ひもせず");
  s.move(row++, 2).attributes({kCyan}).japanese("ｱｲｳｴｵ ｶｷｸｹｺ ｻｼｽｾｿ (JIS X 0201)").attributes({kReset});
  ++row;
  const int colours[] = {kRed, kGreen, kYellow, kBlue, kMagenta, kCyan, kWhite};
  s.move(row++, 2);
  for (int i = 0; i < 7; ++i) s.attributes({colours[i]}).text("colour " + std::to_string(colours[i]) + " ");
  s.move(row++, 2);
  for (int code = 41; code <= 47; ++code)
    s.attributes({code == 43 || code == 47 ? 30 : kWhite, code}).text(" bg " + std::to_string(code) + " ").attributes({kReset}).text(" ");
  s.move(row++, 2).attributes({kBold}).text("bold ").attributes({kReset, kUnderline}).text("underline");
  s.attributes({kReset}).text(" ").attributes({kOnBlack, kReverse}).text("reverse").attributes({kReset});
  EchoLine e = echoLine(currentPage);
  s.move(e.row, 2).text("Type:");
  s.move(e.row + 2, 2).attributes({kGreen}).text("Wheel, PgUp, PgDn: pages   Home: title   End: last page").attributes({kReset});
  return s.take();
}

std::string DemoScript::echoRedraw() const {
  EchoLine e = echoLine(currentPage);
  UnitStream s;
  s.move(e.row, e.col).erase(e.width * kAsciiAdvance[e.charSize]);
  if (!echo.empty()) s.attributes({kWhite}).text(echo).attributes({kReset});
  return s.take();
}

std::string DemoScript::mark(const HostEvent& event) const {
  const int kButtons = 0x07, kDouble = 0x10;
  UnitStream s;
  if (event.x >= kScreenW || event.y >= kScreenH) return {};  // off the screen
  if (event.code == 0) {  // dragging: a trail of dots
    s.fillRect(layer, 3, 3, event.x > 0 ? event.x - 1 : 0, event.y > 0 ? event.y - 1 : 0,
               rgb555(248, 248, 120));
    return s.take();
  }
  // Press and release both leave the mark (drawing it twice changes nothing),
  // so a click that the program reports only by its release still shows.
  int buttons = event.code & kButtons;
  if (buttons == 0) return {};
  int colour = kMarkColour;
  if (buttons & 2) colour = rgb555(80, 160, 248);
  if (buttons & 4) colour = rgb555(80, 248, 120);
  if (event.code & kDouble) {
    s.ellipse(layer, true, event.x, event.y, 8, 8, colour);
  } else {
    s.ellipse(layer, false, event.x, event.y, 6, 6, colour);
    s.line(layer, event.x - 9, event.y, event.x + 9, event.y, colour);
    s.line(layer, event.x, event.y - 9, event.x, event.y + 9, colour);
  }
  return s.take();
}

Script DemoScript::goToPage(int newPage) {
  currentPage = (newPage % kPageCount + kPageCount) % kPageCount;
  return showPage();
}

Script DemoScript::moveBox(int dCol, int dRow) {
  if (currentPage != kTitlePage) return {};
  std::string bytes = tile(boxCol, boxRowIndex, false);
  boxCol = (boxCol + dCol + kBoxColumns) % kBoxColumns;
  boxRowIndex = (boxRowIndex + dRow + kBoxRows) % kBoxRows;
  bytes += tile(boxCol, boxRowIndex, true);
  return {{0, bytes}};
}

Script DemoScript::showLayerNumber(int newLayer) {
  layer = (newLayer % 4 + 4) % 4;
  UnitStream s;
  s.showLayer(layer);
  if (currentPage == kLayersPage) s.raw(layerStatus());
  return {{0, s.take()}};
}

Script DemoScript::typeChar(char c) {
  EchoLine e = echoLine(currentPage);
  if (static_cast<int>(echo.size()) >= e.width) echo.clear();
  echo.push_back(c);
  if (echo.size() == 1) return {{0, echoRedraw()}};
  UnitStream s;
  int col = e.col + (static_cast<int>(echo.size()) - 1) * kAsciiAdvance[e.charSize];
  s.move(e.row, col).attributes({kWhite}).text(std::string(1, c));
  s.attributes({kReset});
  return {{0, s.take()}};
}

Script DemoScript::backspace() {
  if (echo.empty()) return {};
  echo.pop_back();
  EchoLine e = echoLine(currentPage);
  UnitStream s;
  int col = e.col + static_cast<int>(echo.size()) * kAsciiAdvance[e.charSize];
  s.move(e.row, col).erase(kAsciiAdvance[e.charSize]);
  return {{0, s.take()}};
}

Script DemoScript::clearEcho() {
  echo.clear();
  return {{0, echoRedraw()}};
}

Script DemoScript::react(const HostEvent& event) {
  switch (event.kind) {
    case HostEvent::Up: return moveBox(0, -1);
    case HostEvent::Down: return moveBox(0, 1);
    case HostEvent::Left: return moveBox(-1, 0);
    case HostEvent::Right: return moveBox(1, 0);
    case HostEvent::Enter: return clearEcho();
    case HostEvent::Back: return backspace();
    case HostEvent::Char: return typeChar(static_cast<char>(event.number));
    case HostEvent::Home: return goToPage(kTitlePage);
    case HostEvent::End: return goToPage(kPageCount - 1);
    case HostEvent::PageUp:
    case HostEvent::WheelUp: return goToPage(currentPage - 1);
    case HostEvent::PageDown:
    case HostEvent::WheelDown: return goToPage(currentPage + 1);
    case HostEvent::WheelLeft: return showLayerNumber(layer - 1);
    case HostEvent::WheelRight: return showLayerNumber(layer + 1);
    case HostEvent::Function:
      if (event.number >= 1 && event.number <= 4) return showLayerNumber(event.number - 1);
      if (event.number == 5) return showPage();
      return {};
    case HostEvent::Mouse: {
      std::string bytes = mark(event);
      if (bytes.empty()) return {};
      return {{0, bytes}};
    }
    case HostEvent::KeepAlive:
    case HostEvent::VersionRequest: return {};
  }
  return {};
}
