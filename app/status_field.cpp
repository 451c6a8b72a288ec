#include "app/status_field.h"

#include <cstring>

void FillStatusLine(StatusLine* line, const char* text) {
  std::memset(line->text, ' ', sizeof line->text);
  for (int32_t i = 0; i < STATUS_LINE_LENGTH && text[i] != '\0'; ++i) line->text[i] = text[i];
}

void StatusLineString(const StatusLine* line, char* out) {
  int32_t length = STATUS_LINE_LENGTH;
  while (length > 0 && line->text[length - 1] == ' ') --length;
  std::memcpy(out, line->text, static_cast<size_t>(length));
  out[length] = '\0';
}
