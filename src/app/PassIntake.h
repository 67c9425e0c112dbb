// How much of what the unit sent one main-loop pass parses. A unit sending
// costly drawing commands must not keep the window from being presented or
// the user's input from reaching the unit: the pass takes the bytes a few at
// a time and stops taking once it has parsed for kBudgetMs on the caller's
// clock. The bytes it leaves stay where they wait, in order, for the
// following passes.
#pragma once

#include <cstdint>
#include <functional>

class PassIntake {
public:
  static constexpr uint32_t kBudgetMs = 20;
  // The clock is read after every group of this many bytes.
  static constexpr unsigned kBytesPerLook = 4;

  using Take = std::function<unsigned(unsigned char* dst, unsigned count)>;
  using Parse = std::function<void(unsigned char byte)>;
  using Clock = std::function<uint32_t()>;

  // Takes at most `waiting` of the oldest bytes through take, hands each to
  // parse, and stops when the budget is spent on nowMs or take brings fewer
  // than asked. Returns how many bytes were parsed.
  static unsigned run(unsigned waiting, const Take& take, const Parse& parse, const Clock& nowMs);
};
