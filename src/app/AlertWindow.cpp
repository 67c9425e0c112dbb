#include "app/AlertWindow.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/programFolder.h"

namespace {

// The screen's 8 x 16 font, found beside the program as the screen finds it.
const char kFontFile[] = "fonts/JF-Dot-Shinonome16.ttf";
const int kFontPoints = 16;

const int kMargin = 16;
const int kMinWidth = 320;
const int kWrapWidth = 560;  // message lines longer than this break at blanks
const int kButtonHeight = 28;
const int kButtonMinWidth = 88;
const int kButtonPadding = 12;
const int kButtonGap = 8;
// The wait for events is bounded, so that a signal is seen within it.
const int kWaitMs = 100;

const SDL_Color kInk{0, 0, 0, 255};
const SDL_Color kPaper{240, 240, 240, 255};
const SDL_Color kFace{224, 224, 224, 255};
const SDL_Color kFacePressed{200, 200, 200, 255};
const SDL_Color kEdge{112, 112, 112, 255};
const SDL_Color kFocusEdge{32, 80, 176, 255};

struct Line {
  std::string text;
  bool bold;
};

class AlertWindow {
public:
  AlertWindow(const AlertRequest& request, TTF_Font* font, int focus) : font(font), request(request), focus(focus) {}
  ~AlertWindow() {
    if (window) SDL_DestroyWindow(window);
  }
  AlertWindow(const AlertWindow&) = delete;
  AlertWindow& operator=(const AlertWindow&) = delete;

  bool open() {
    lay();
    window = SDL_CreateWindow(request.header.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0);
    if (!window || !SDL_GetWindowSurface(window)) return false;
    SDL_RaiseWindow(window);
    draw();
    return true;
  }

  // Waits for the answer; quit tells whether it came from a quit.
  int answer(int escape, bool& quit) {
    const Uint32 id = SDL_GetWindowID(window);
    std::vector<SDL_Event> others;  // the program's window events, handed back afterwards
    int chosen = -1, pressed = -1;
    while (chosen < 0) {
      SDL_Event ev;
      if (!SDL_WaitEventTimeout(&ev, kWaitMs)) continue;
      switch (ev.type) {
        case SDL_QUIT:
          quit = true;
          break;
        case SDL_WINDOWEVENT:
          if (ev.window.windowID != id) {
            if (ev.window.event == SDL_WINDOWEVENT_CLOSE) quit = true;
            else others.push_back(ev);
          } else if (ev.window.event == SDL_WINDOWEVENT_CLOSE) {
            chosen = escape;
          } else if (ev.window.event == SDL_WINDOWEVENT_EXPOSED) {
            draw(pressed);
          }
          break;
        case SDL_KEYDOWN:
          if (ev.key.windowID != id) break;
          switch (ev.key.keysym.sym) {
            case SDLK_RETURN:
            case SDLK_KP_ENTER:
            case SDLK_SPACE: chosen = focus; break;
            case SDLK_ESCAPE: chosen = escape; break;
            case SDLK_TAB:
            case SDLK_RIGHT:
            case SDLK_LEFT: {
              const int n = static_cast<int>(buttons.size());
              focus = (focus + (ev.key.keysym.sym == SDLK_LEFT ? n - 1 : 1)) % n;
              draw(pressed);
              break;
            }
            default: break;
          }
          break;
        // Input meant for the program's window is dropped while the alert is up.
        case SDL_MOUSEBUTTONDOWN:
          if (ev.button.windowID == id && ev.button.button == SDL_BUTTON_LEFT) draw(pressed = buttonAt(ev.button.x, ev.button.y));
          break;
        case SDL_MOUSEBUTTONUP:
          if (ev.button.windowID == id && pressed >= 0 && buttonAt(ev.button.x, ev.button.y) == pressed) chosen = pressed;
          if (ev.button.windowID == id && pressed >= 0) draw(pressed = -1);
          break;
        default:
          break;
      }
      if (quit) chosen = escape;
    }
    for (SDL_Event& ev : others) SDL_PushEvent(&ev);
    return chosen;
  }

private:
  int textWidth(const std::string& text, bool bold) const {
    int w = 0;
    TTF_SetFontStyle(font, bold ? TTF_STYLE_BOLD : TTF_STYLE_NORMAL);
    TTF_SizeUTF8(font, text.c_str(), &w, nullptr);
    return w;
  }

  // The text's lines, broken at blanks where a line would be wider than
  // kWrapWidth.
  void addWrapped(const std::string& text, bool bold) {
    size_t start = 0;
    for (;;) {
      const size_t end = std::min(text.find('\n', start), text.size());
      std::string line;
      for (size_t word = start; word < end;) {
        const size_t blank = std::min(text.find(' ', word), end);
        const std::string piece = text.substr(word, blank - word);
        const std::string longer = line.empty() ? piece : line + " " + piece;
        if (!line.empty() && textWidth(longer, bold) > kWrapWidth) {
          lines.push_back({line, bold});
          line = piece;
        } else {
          line = longer;
        }
        word = blank + 1;
      }
      lines.push_back({line, bold});
      if (end >= text.size()) break;
      start = end + 1;
    }
  }

  void lay() {
    addWrapped(request.header, true);
    if (!request.message.empty()) {
      lines.push_back({"", false});
      addWrapped(request.message, false);
    }
    int textW = 0;
    for (const Line& line : lines) textW = std::max(textW, textWidth(line.text, line.bold));
    int buttonsW = 0;
    for (const std::string& label : request.buttons) {
      const int w = std::max(kButtonMinWidth, textWidth(label, false) + 2 * kButtonPadding);
      buttons.push_back({0, 0, w, kButtonHeight});
      buttonsW += w + (buttonsW > 0 ? kButtonGap : 0);
    }
    width = std::max(kMinWidth, std::max(textW, buttonsW) + 2 * kMargin);
    const int textH = static_cast<int>(lines.size()) * TTF_FontLineSkip(font);
    height = kMargin + textH + kMargin + kButtonHeight + kMargin;
    // The buttons in a row at the bottom right, in their order.
    int x = width - kMargin - buttonsW;
    for (SDL_Rect& button : buttons) {
      button.x = x;
      button.y = height - kMargin - kButtonHeight;
      x += button.w + kButtonGap;
    }
  }

  int buttonAt(int x, int y) const {
    const SDL_Point at{x, y};
    for (size_t i = 0; i < buttons.size(); ++i) {
      if (SDL_PointInRect(&at, &buttons[i])) return static_cast<int>(i);
    }
    return -1;
  }

  void fill(SDL_Surface* out, SDL_Rect rect, SDL_Color colour) const {
    SDL_FillRect(out, &rect, SDL_MapRGB(out->format, colour.r, colour.g, colour.b));
  }

  void text(SDL_Surface* out, const std::string& text, bool bold, int x, int y) const {
    if (text.empty()) return;
    TTF_SetFontStyle(font, bold ? TTF_STYLE_BOLD : TTF_STYLE_NORMAL);
    SDL_Surface* shown = TTF_RenderUTF8_Solid(font, text.c_str(), kInk);
    if (!shown) return;
    SDL_Rect at{x, y, shown->w, shown->h};
    SDL_BlitSurface(shown, nullptr, out, &at);
    SDL_FreeSurface(shown);
  }

  void draw(int pressed = -1) {
    SDL_Surface* out = SDL_GetWindowSurface(window);
    if (!out) return;
    fill(out, {0, 0, out->w, out->h}, kPaper);
    int y = kMargin;
    for (const Line& line : lines) {
      text(out, line.text, line.bold, kMargin, y);
      y += TTF_FontLineSkip(font);
    }
    for (size_t i = 0; i < buttons.size(); ++i) {
      const SDL_Rect& b = buttons[i];
      const int edge = static_cast<int>(i) == focus ? 2 : 1;
      fill(out, b, static_cast<int>(i) == focus ? kFocusEdge : kEdge);
      fill(out, {b.x + edge, b.y + edge, b.w - 2 * edge, b.h - 2 * edge}, static_cast<int>(i) == pressed ? kFacePressed : kFace);
      const std::string& label = request.buttons[i];
      text(out, label, false, b.x + (b.w - textWidth(label, false)) / 2, b.y + (b.h - TTF_FontHeight(font)) / 2);
    }
    SDL_UpdateWindowSurface(window);
  }

  TTF_Font* font;
  const AlertRequest& request;
  int focus;
  std::vector<Line> lines;
  std::vector<SDL_Rect> buttons;
  int width = 0, height = 0;
  SDL_Window* window = nullptr;
};

}  // namespace

int showAlertWindow(const AlertRequest& request, int defaultButton, int escapeButton) {
  if (TTF_WasInit() == 0 || request.buttons.empty()) return -1;
  TTF_Font* font = TTF_OpenFont((programFolder() + kFontFile).c_str(), kFontPoints);
  if (!font) return -1;
  int chosen = -1;
  bool quit = false;
  {
    AlertWindow alert(request, font, defaultButton);
    if (alert.open()) chosen = alert.answer(escapeButton, quit);
  }
  TTF_CloseFont(font);
  if (quit) {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
  }
  return chosen;
}
