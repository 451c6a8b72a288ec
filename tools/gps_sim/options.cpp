#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: gps-sim [options] DEVICE\n"
    "       gps-sim [options] --device DEVICE\n"
    "Simulates an NMEA 0183 GPS receiver: writes its sentences to DEVICE (a tty such\n"
    "as the far end of a virtual null-modem, or - for standard output), paced as a\n"
    "serial line at the given rate would carry them.\n"
    "\n"
    "Source (default: synthesized):\n"
    "  Synthesized: once per second GGA, GSA, GSV (one per 4 satellites in view),\n"
    "  RMC, GLL and VTG (talker GP) with valid checksums, the current UTC time and\n"
    "  date, and a position driving round a 500 m radius circle at 18 km/h.\n"
    "  --start LAT,LON        start point in signed decimal degrees, latitude\n"
    "                         within +-89 (default 48.1173,11.516667)\n"
    "  --replay FILE          replay a capture instead: one second's group of lines\n"
    "                         per cycle, looping at the end.  A group starts at each\n"
    "                         GGA, RMC, GLL or ZDA whose hhmmss differs from the\n"
    "                         group's; lines starting with '#' are comments and are\n"
    "                         not sent; every other byte is sent as the file has it.\n"
    "  --loops N              stop after N passes over the capture (default: endless)\n"
    "\n"
    "Timing:\n"
    "  --baud N               line rate, 8-N-1 (default 4800: at most 480 bytes/s);\n"
    "                         one of 1200 2400 4800 9600 19200 38400 57600 115200\n"
    "                         230400 460800 921600.  A tty is set raw at this rate.\n"
    "  --cycle-ms N           time between cycles (default 1000; 0: back to back,\n"
    "                         limited by the line rate only)\n"
    "  --duration SECONDS     exit after this long (default: until Ctrl+C/SIGTERM)\n"
    "\n"
    "Faults:\n"
    "  --silence-after SECONDS  stop sending after this long; stay open and idle\n"
    "  --bad-checksum-rate P  wrong checksum (still two hex digits) with probability P\n"
    "  --garbage-rate P       1..16 bytes of binary noise (never '$') before a\n"
    "                         sentence with probability P\n"
    "  --drop-asterisk-rate P remove the '*' before the checksum with probability P\n"
    "  --seed N               seed for the faults, to repeat a run exactly\n"
    "\n"
    "Output:\n"
    "  --timestamps FILE      log each sentence as it completes: \"<unix time ns>\n"
    "                         <type> <first 20 chars>\", the CLOCK_REALTIME instant\n"
    "                         its last byte was written\n"
    "  --quiet                no status lines on standard error (default: one\n"
    "                         every 5 s)\n"
    "  --help                 this text\n"
    "\n"
    "Exit status: 0 after Ctrl+C, SIGTERM, --duration or --loops; 1 when writing\n"
    "fails; 2 for a bad option, a device that cannot be opened or an unreadable file.\n";

bool ParseDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0' && std::isfinite(value);
}

bool ParseInt(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  value = parsed;
  return errno == 0 && *end == '\0';
}

bool IsStandardBaud(int64_t baud) {
  for (int64_t rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600}) {
    if (baud == rate) return true;
  }
  return false;
}

bool ParseStart(const std::string& text, SimOptions& options) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  double latitude = 0;
  double longitude = 0;
  // The track reaches 500 m further south and east, and the east-west scale
  // collapses at the poles.
  if (!ParseDouble(text.substr(0, comma), latitude) || std::fabs(latitude) > 89.0) return false;
  if (!ParseDouble(text.substr(comma + 1), longitude) || std::fabs(longitude) > 180.0) {
    return false;
  }
  options.startLatitude = latitude;
  options.startLongitude = longitude;
  return true;
}

bool ParseProbability(const std::string& text, double& value) {
  return ParseDouble(text, value) && value >= 0.0 && value <= 1.0;
}

void SetDefaults(SimOptions& o) {
  o = SimOptions{};
  o.startLatitude = 48.1173;
  o.startLongitude = 11.516667;
  o.baud = 4800;
  o.cycleMs = 1000;
  o.durationSeconds = -1;
  o.silenceAfterSeconds = -1;
}

// Applies one option that takes a value; false with error set when the value
// is not acceptable.
bool ApplyValue(const std::string& name, const std::string& value, SimOptions& o,
                std::string& error) {
  int64_t number = 0;
  double real = 0;
  bool ok = true;
  if (name == "--device") {
    if (!o.output.empty()) {
      error = "more than one output given: '" + o.output + "' and '" + value + "'";
      return false;
    }
    o.output = value;
    ok = !value.empty();
  } else if (name == "--replay") {
    o.replayPath = value;
    ok = !value.empty();
  } else if (name == "--start") {
    ok = ParseStart(value, o);
  } else if (name == "--baud") {
    ok = ParseInt(value, number) && IsStandardBaud(number);
    o.baud = number;
  } else if (name == "--cycle-ms") {
    ok = ParseInt(value, number) && number >= 0 && number <= 3600000;
    o.cycleMs = number;
  } else if (name == "--duration") {
    ok = ParseDouble(value, real) && real >= 0;
    o.durationSeconds = real;
  } else if (name == "--silence-after") {
    ok = ParseDouble(value, real) && real >= 0;
    o.silenceAfterSeconds = real;
  } else if (name == "--loops") {
    ok = ParseInt(value, number) && number >= 1;
    o.loops = number;
  } else if (name == "--bad-checksum-rate") {
    ok = ParseProbability(value, o.faults.badChecksum);
  } else if (name == "--garbage-rate") {
    ok = ParseProbability(value, o.faults.garbage);
  } else if (name == "--drop-asterisk-rate") {
    ok = ParseProbability(value, o.faults.dropAsterisk);
  } else if (name == "--seed") {
    ok = ParseInt(value, number) && number >= 0;
    o.seed = static_cast<uint64_t>(number);
    o.seedGiven = true;
  } else if (name == "--timestamps") {
    o.timestampsPath = value;
    ok = !value.empty();
  } else {
    error = "unknown option " + name + " (see --help)";
    return false;
  }
  if (!ok) error = "bad value for " + name + ": '" + value + "' (see --help)";
  return ok;
}

}  // namespace

const char* UsageText() { return kUsage; }

ParseResult ParseOptions(int argc, char** argv, SimOptions& options, std::string& error) {
  SetDefaults(options);
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return ParseResult::kHelp;
    if (arg == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      std::string value;
      const size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
        arg.resize(equals);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        error = "option " + arg + " needs a value (see --help)";
        return ParseResult::kError;
      }
      if (!ApplyValue(arg, value, options, error)) return ParseResult::kError;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg + " (see --help)";
      return ParseResult::kError;
    }
    if (!options.output.empty()) {
      error = "more than one output given: '" + options.output + "' and '" + arg + "'";
      return ParseResult::kError;
    }
    options.output = arg;
  }
  if (options.output.empty()) {
    error = "no output given: name a tty (for example /dev/pts/3) or - for standard output "
            "(see --help)";
    return ParseResult::kError;
  }
  if (options.loops > 0 && options.replayPath.empty()) {
    error = "--loops applies to --replay only";
    return ParseResult::kError;
  }
  return ParseResult::kRun;
}
