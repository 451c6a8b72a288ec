// The Windows build targets Windows 7 and later: mingw-w64 would otherwise
// target Windows 10, whose QS_ALLINPUT carries the touch and pointer bits
// that Windows 7's MsgWaitForMultipleObjectsEx refuses, and the demo's main
// loop, which waits with that mask, would fall back to polling.
#include <windows.h>

#include <gtest/gtest.h>

TEST(windows_baseline_test, every_target_is_built_for_windows_7) {
  EXPECT_EQ(_WIN32_WINNT, 0x0601);
  EXPECT_EQ(WINVER, 0x0601);
}

TEST(windows_baseline_test, input_mask_has_only_the_bits_windows_7_knows) {
  // Keys, mouse moves and buttons, posted messages, timers, paints, sent
  // messages, hot keys and raw input.
  EXPECT_EQ(static_cast<unsigned>(QS_ALLINPUT), 0x04FFu);
}
