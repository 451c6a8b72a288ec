// The status line's text: always exactly 30 characters, space padded, with
// no terminator.
#ifndef ORVOGPS_APP_STATUS_FIELD_H
#define ORVOGPS_APP_STATUS_FIELD_H

#include <cstdint>

constexpr int32_t STATUS_LINE_LENGTH = 30;

struct StatusLine {
  char text[STATUS_LINE_LENGTH];
};

// Fills the line with spaces, then copies at most 30 characters of text.
void FillStatusLine(StatusLine* line, const char* text);

// The line's text up to and including its last non-space character, as a
// terminated string in out (at least STATUS_LINE_LENGTH + 1 bytes).
void StatusLineString(const StatusLine* line, char* out);

#endif
