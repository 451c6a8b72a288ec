#include "handle_count.h"

#include <cstdint>

namespace {

// Handle values are multiples of 4, and a new handle takes the lowest free
// value, so the open ones lie low with small gaps between them: after this
// many free values in a row there are none further up.
constexpr int kFreeRunAtEnd = 1024;

}  // namespace

DWORD CountOpenHandles() {
  DWORD open = 0;
  int freeInARow = 0;
  for (uintptr_t value = 4; freeInARow < kFreeRunAtEnd; value += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++open;
      freeInARow = 0;
    } else {
      ++freeInARow;
    }
  }
  return open;
}
