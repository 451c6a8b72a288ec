#include "monitor/monitor_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <nmea/receiver.h>

#include "monitor/monitor_ids.h"

namespace {

bool IsAuto(const char* word) { return std::strcmp(word, "auto") == 0 || std::strcmp(word, "Auto") == 0; }

}  // namespace

bool ParsePortOption(const char* word, int32_t* index) {
  if (IsAuto(word)) {
    *index = -1;
    return true;
  }
  if ((word[0] != 'C' && word[0] != 'c') || (word[1] != 'O' && word[1] != 'o') ||
      (word[2] != 'M' && word[2] != 'm'))
    return false;
  char* end = nullptr;
  const long number = std::strtol(word + 3, &end, 10);
  if (end == word + 3 || *end != '\0' || number < 1 || number > 16) return false;
  *index = static_cast<int32_t>(number - 1);
  return true;
}

bool ParseBaudOption(const char* word, uint32_t* baud) {
  if (IsAuto(word)) {
    *baud = GPS_BAUD_AUTO;
    return true;
  }
  char* end = nullptr;
  const unsigned long value = std::strtoul(word, &end, 10);
  if (end == word || *end != '\0') return false;
  for (uint32_t rate : GPS_BAUD_RATES) {
    if (rate == value) {
      *baud = rate;
      return true;
    }
  }
  return false;
}

namespace {

const char* const PAGE_WORDS[MONITOR_PAGE_COUNT] = {"signals", "sentences", "steadiness"};

bool ParsePage(const char* word, int32_t* page) {
  for (int32_t i = 0; i < MONITOR_PAGE_COUNT; ++i) {
    if (std::strcmp(word, PAGE_WORDS[i]) == 0) {
      *page = i;
      return true;
    }
  }
  return false;
}

}  // namespace

int32_t ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions* options, char* error, int size) {
  *options = {-1, GPS_BAUD_AUTO, 0, MONITOR_PAGE_SIGNALS, nullptr, "localhost", SERVER_DEFAULT_PORT};
  for (int i = 0; i < argc; ++i) {
    const char* word = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (std::strcmp(word, "--start") == 0) {
      options->start = 1;
    } else if (std::strcmp(word, "--port") == 0 && value && ParsePortOption(value, &options->portIndex)) {
      ++i;
    } else if (std::strcmp(word, "--baud") == 0 && value && ParseBaudOption(value, &options->baudRate)) {
      ++i;
    } else if (std::strcmp(word, "--view") == 0 && value && ParsePage(value, &options->page)) {
      ++i;
    } else if (std::strcmp(word, "--server") == 0 && value &&
               ParseServerAddress(value, options->serverHost, &options->serverPort)) {
      options->portIndex = MONITOR_PORT_SERVER;
      ++i;
    } else if (std::strcmp(word, "--record") == 0 && value && value[0] != '\0') {
      options->record = value;
      ++i;
    } else {
      std::snprintf(error, size, "%s%s%s: use --port COM1..COM16|auto, --baud <speed>|auto, --start, --view signals|sentences|steadiness, --record FILE, --server HOST:PORT", word,
                    value && word[0] == '-' ? " " : "", value && word[0] == '-' ? value : "");
      return 1;
    }
  }
  return 0;
}
