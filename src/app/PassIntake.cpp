#include "app/PassIntake.h"

unsigned PassIntake::run(const unsigned char* bytes, unsigned count, const Parse& parse, const Clock& nowMs) {
  const uint32_t start = nowMs();
  unsigned parsed = 0;
  while (parsed < count) {
    const unsigned group = count - parsed < kBytesPerLook ? count - parsed : kBytesPerLook;
    for (unsigned i = 0; i < group; ++i) parse(bytes[parsed + i]);
    parsed += group;
    if (nowMs() - start >= kBudgetMs) break;
  }
  return parsed;
}
