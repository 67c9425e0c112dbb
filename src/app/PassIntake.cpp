#include "app/PassIntake.h"

unsigned PassIntake::run(unsigned waiting, const Take& take, const Parse& parse, const Clock& nowMs) {
  const uint32_t start = nowMs();
  unsigned parsed = 0;
  unsigned char bytes[kBytesPerLook];
  while (parsed < waiting) {
    const unsigned wanted = waiting - parsed < kBytesPerLook ? waiting - parsed : kBytesPerLook;
    const unsigned got = take(bytes, wanted);
    for (unsigned i = 0; i < got; ++i) {
      parse(bytes[i]);
    }
    parsed += got;
    if (got < wanted || nowMs() - start >= kBudgetMs) {
      break;
    }
  }
  return parsed;
}
