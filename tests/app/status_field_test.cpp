#include "app/status_field.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Field(const StatusLine& line) { return std::string(line.text, STATUS_LINE_LENGTH); }

TEST(status_field_test, texts_are_padded_or_cut_to_thirty_characters) {
  struct Case {
    const char* text;
    const char* field;
  };
  const Case cases[] = {
      {"", "                              "},
      {"GPS interface closed", "GPS interface closed          "},
      {"Failed to open GPS device port", "Failed to open GPS device port"},
      {"Failed to open GPS device port, twice", "Failed to open GPS device port"},
  };
  for (const Case& c : cases) {
    StatusLine line;
    std::memset(line.text, 'x', sizeof line.text);
    FillStatusLine(&line, c.text);
    EXPECT_EQ(Field(line), c.field) << c.text;
  }
}

TEST(status_field_test, short_text_after_long_leaves_no_trace) {
  StatusLine line;
  FillStatusLine(&line, "No response from GPS device");
  FillStatusLine(&line, "GPS interface closed");
  EXPECT_EQ(Field(line), "GPS interface closed          ");
}

TEST(status_field_test, readable_string_drops_the_padding_only) {
  StatusLine line;
  char out[STATUS_LINE_LENGTH + 1];
  FillStatusLine(&line, "GPS data acquisition");
  StatusLineString(&line, out);
  EXPECT_STREQ(out, "GPS data acquisition");
  FillStatusLine(&line, "Failed to open GPS device port!");
  StatusLineString(&line, out);
  EXPECT_STREQ(out, "Failed to open GPS device port");
  FillStatusLine(&line, "");
  StatusLineString(&line, out);
  EXPECT_STREQ(out, "");
}

}  // namespace
