#include "parser_harness.h"

#include <cstdio>

namespace parser_test {

std::string show(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char part[8];
    if (c == 0x1B) std::snprintf(part, sizeof part, "ESC ");
    else if (c >= 0x20 && c < 0x7F) std::snprintf(part, sizeof part, "%c ", c);
    else std::snprintf(part, sizeof part, "0x%02X ", c);
    out += part;
  }
  return out;
}

std::string differences(const Snapshot& a, const Snapshot& b) {
  std::string out;
  auto note = [&out](bool differs, const std::string& what) {
    if (differs) out += (out.empty() ? "" : ", ") + what;
  };
  auto samePixels = [](const PixelImage& x, const PixelImage& y) {
    return x.w == y.w && x.h == y.h && x.pixels == y.pixels;
  };
  note(a.row != b.row || a.col != b.col, "cursor");
  note(a.charSize != b.charSize, "charSize");
  note(a.bgIndex != b.bgIndex, "bgBuffIndex");
  note(a.fg != b.fg || a.bg != b.bg, "colours");
  note(a.bold != b.bold || a.underline != b.underline || a.blink != b.blink || a.reverse != b.reverse,
       "attribute bits");
  note(a.fwVersion != b.fwVersion, "fwVersion");
  note(a.seqState != b.seqState, "seqState");
  note(a.sjisLead != b.sjisLead, "sjisLead");
  note(!samePixels(a.text, b.text), "text layer");
  for (int i = 0; i < 4; ++i) note(!samePixels(a.layers[i], b.layers[i]), "layer " + std::to_string(i));
  return out;
}

int inkedPixels(const PixelImage& image, const SDL_Rect& area) {
  SDL_Rect r{0, 0, 0, 0}, whole{0, 0, image.w, image.h};
  if (!SDL_IntersectRect(&area, &whole, &r)) return 0;
  return r.w * r.h - image.count(Pixel{0, 0, 0, 0}, r);
}

void ParserTest::SetUp() {
  ScreenTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  parser = std::make_unique<EscSeqParser>(screen.get());
}

void ParserTest::reset(int row, int col) {
  screen->set_charsize(2);
  screen->init_disp();
  screen->set_bgbuff(0);
  screen->move(row, col);
  parser = std::make_unique<EscSeqParser>(screen.get());
}

Snapshot ParserTest::feedChangingOnlyLayer(const std::string& input, int layer) {
  reset();
  const Snapshot before = snapshot();
  feed(input);
  Snapshot after = snapshot();
  EXPECT_EQ(differences(before, after), layer < 0 ? "" : "layer " + std::to_string(layer));
  return after;
}

Snapshot ParserTest::snapshot() const {
  Snapshot s;
  s.row = screen->getCursorRow();
  s.col = screen->getCursorCol();
  s.charSize = screen->getCharSize();
  s.bgIndex = screen->getBgBuffIndex();
  s.fg = toPixel(screen->getFgColor());
  s.bg = toPixel(screen->getBgColor());
  s.bold = screen->isBold();
  s.underline = screen->isUnderline();
  s.blink = screen->isBlink();
  s.reverse = screen->isReverse();
  s.fwVersion = parser->fwVersion;
  s.seqState = parser->seqState;
  s.sjisLead = parser->sjisLead;
  s.text = textLayer();
  for (int i = 0; i < 4; ++i) s.layers[i] = layer(i);
  return s;
}

}  // namespace parser_test
