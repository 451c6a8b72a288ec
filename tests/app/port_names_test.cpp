#include "app/port_names.h"

#include <gtest/gtest.h>

namespace {

TEST(port_names_test, the_list_offers_com1_to_com8_in_order) {
  const char* const expected[] = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
  for (int32_t i = 0; i < PORT_NAME_COUNT; ++i) {
    EXPECT_STREQ(PortNameList[i], expected[i]);
    EXPECT_EQ(PortIndexFromName(PortNameList[i]), i) << PortNameList[i];
  }
  EXPECT_EQ(PortNameList[PORT_NAME_COUNT], nullptr);
}

TEST(port_names_test, other_texts_name_no_port) {
  const char* const texts[] = {"", "C", "COM", "COM0", "COM9", "COM10", "COM1 ", "com1", "LPT1", "COMx"};
  for (const char* text : texts) EXPECT_EQ(PortIndexFromName(text), -1) << '"' << text << '"';
}

}  // namespace
