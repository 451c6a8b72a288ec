// The handle count that the leak checks rely on sees a single handle made or
// closed, even one that lies past a gap of free handle values.
#include <gtest/gtest.h>

#include <vector>

#include "handle_count.h"

namespace {

TEST(handle_count_test, sees_one_leaked_handle_and_its_close) {
  DWORD before = CountOpenHandles();
  HANDLE leaked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, leaked);
  EXPECT_EQ(before + 1, CountOpenHandles());
  CloseHandle(leaked);
  EXPECT_EQ(before, CountOpenHandles());
}

TEST(handle_count_test, sees_a_handle_past_a_gap_of_free_values) {
  DWORD before = CountOpenHandles();
  std::vector<HANDLE> events(300);
  for (HANDLE& event : events) {
    event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, event);
  }
  // All but the last made: a gap of 299 free values below it.
  for (size_t i = 0; i + 1 < events.size(); ++i) CloseHandle(events[i]);
  EXPECT_EQ(before + 1, CountOpenHandles());
  CloseHandle(events.back());
  EXPECT_EQ(before, CountOpenHandles());
}

}  // namespace
