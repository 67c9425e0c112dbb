// How much of what the unit sent one main-loop pass parses. A unit sending
// costly drawing commands must not keep the window from being presented or
// the user's input from reaching the unit: the pass parses the bytes a few
// at a time and stops once it has parsed for kBudgetMs on the caller's
// clock. The bytes it leaves are for the following passes, in order.
#pragma once

#include <cstdint>
#include <functional>

class PassIntake {
public:
  static constexpr uint32_t kBudgetMs = 20;
  // The clock is read after every group of this many bytes.
  static constexpr unsigned kBytesPerLook = 4;

  using Parse = std::function<void(unsigned char byte)>;
  using Clock = std::function<uint32_t()>;

  // Hands the `count` bytes to parse in order, and stops early when the
  // budget is spent on nowMs. Returns how many bytes were parsed.
  static unsigned run(const unsigned char* bytes, unsigned count, const Parse& parse, const Clock& nowMs);
};
