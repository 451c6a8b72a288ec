// nmea-decode: shows what the receiver library makes of a capture.  Every
// byte of the named files (standard input when none is named) goes through
// one context's framer; each decoded sentence is printed as one JSON line,
// or with --state each verified sentence followed by the navigation state's
// objects it changed (fix, sky, error estimate, heading), or with --gpsd the TPV and SKY objects the server sends
// a client watching with json, once per epoch; with --stats the framer's
// counts follow on standard error.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "nmea/nmea.h"
#include "nmea/receiver.h"
#include "server/gpsd_json.h"
#include "state_json.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

enum FieldKind { KIND_INT, KIND_CHAR, KIND_FLOAT, KIND_TIME, KIND_ANGLE, KIND_DATE, KIND_SATELLITE_LIST,
                 KIND_GSV_SATELLITES, KIND_TALKER };

struct RecordField {
  const char* name;
  FieldKind kind;
  size_t offset;
};

#define FIELD(record, name, kind) {#name, kind, offsetof(record, name)}

const RecordField GGA_FIELDS[] = {
    FIELD(GgaRecord, time, KIND_TIME),           FIELD(GgaRecord, latitude, KIND_ANGLE),
    FIELD(GgaRecord, latHemisphere, KIND_CHAR),  FIELD(GgaRecord, longitude, KIND_ANGLE),
    FIELD(GgaRecord, lonHemisphere, KIND_CHAR),  FIELD(GgaRecord, fixQuality, KIND_INT),
    FIELD(GgaRecord, satellitesUsed, KIND_INT),  FIELD(GgaRecord, hdop, KIND_FLOAT),
    FIELD(GgaRecord, altitude, KIND_FLOAT),      FIELD(GgaRecord, talker, KIND_TALKER),
    {nullptr, KIND_INT, 0},
};
const RecordField GSA_FIELDS[] = {
    FIELD(GsaRecord, selectionMode, KIND_CHAR),  FIELD(GsaRecord, fixMode, KIND_CHAR),
    FIELD(GsaRecord, satellites, KIND_SATELLITE_LIST), FIELD(GsaRecord, pdop, KIND_FLOAT),
    FIELD(GsaRecord, hdop, KIND_FLOAT),          FIELD(GsaRecord, vdop, KIND_FLOAT),
    FIELD(GsaRecord, talker, KIND_TALKER),       FIELD(GsaRecord, systemId, KIND_INT),
    {nullptr, KIND_INT, 0},
};
const RecordField GSV_FIELDS[] = {
    FIELD(GsvRecord, messageCount, KIND_INT),    FIELD(GsvRecord, messageNumber, KIND_INT),
    FIELD(GsvRecord, satellitesInView, KIND_INT), FIELD(GsvRecord, satelliteCount, KIND_INT),
    FIELD(GsvRecord, satellite, KIND_GSV_SATELLITES), FIELD(GsvRecord, talker, KIND_TALKER),
    FIELD(GsvRecord, signalId, KIND_INT),        {nullptr, KIND_INT, 0},
};
const RecordField RMC_FIELDS[] = {
    FIELD(RmcRecord, time, KIND_TIME),           FIELD(RmcRecord, status, KIND_CHAR),
    FIELD(RmcRecord, latitude, KIND_ANGLE),      FIELD(RmcRecord, latHemisphere, KIND_CHAR),
    FIELD(RmcRecord, longitude, KIND_ANGLE),     FIELD(RmcRecord, lonHemisphere, KIND_CHAR),
    FIELD(RmcRecord, speedKnots, KIND_FLOAT),    FIELD(RmcRecord, courseTrue, KIND_FLOAT),
    FIELD(RmcRecord, date, KIND_DATE),           FIELD(RmcRecord, magneticVariation, KIND_FLOAT),
    FIELD(RmcRecord, variationDirection, KIND_CHAR), FIELD(RmcRecord, modeIndicator, KIND_CHAR),
    FIELD(RmcRecord, talker, KIND_TALKER),       {nullptr, KIND_INT, 0},
};
const RecordField GLL_FIELDS[] = {
    FIELD(GllRecord, latitude, KIND_ANGLE),      FIELD(GllRecord, latHemisphere, KIND_CHAR),
    FIELD(GllRecord, longitude, KIND_ANGLE),     FIELD(GllRecord, lonHemisphere, KIND_CHAR),
    FIELD(GllRecord, time, KIND_TIME),           FIELD(GllRecord, status, KIND_CHAR),
    FIELD(GllRecord, modeIndicator, KIND_CHAR),  FIELD(GllRecord, talker, KIND_TALKER),
    {nullptr, KIND_INT, 0},
};
const RecordField VTG_FIELDS[] = {
    FIELD(VtgRecord, courseTrue, KIND_FLOAT),    FIELD(VtgRecord, courseTrueRef, KIND_INT),
    FIELD(VtgRecord, courseMagnetic, KIND_FLOAT), FIELD(VtgRecord, courseMagneticRef, KIND_INT),
    FIELD(VtgRecord, speedKnots, KIND_FLOAT),    FIELD(VtgRecord, speedKnotsUnit, KIND_INT),
    FIELD(VtgRecord, speedKmh, KIND_FLOAT),      FIELD(VtgRecord, speedKmhUnit, KIND_INT),
    FIELD(VtgRecord, modeIndicator, KIND_CHAR),  FIELD(VtgRecord, talker, KIND_TALKER),
    {nullptr, KIND_INT, 0},
};

struct RecordLayout {
  SentenceType type;
  const char* formatter;
  const RecordField* fields;
};

// Indexed by SentenceType.
const RecordLayout RECORD_LAYOUTS[] = {
    {SENTENCE_GGA, "GGA", GGA_FIELDS}, {SENTENCE_GSA, "GSA", GSA_FIELDS},
    {SENTENCE_GSV, "GSV", GSV_FIELDS}, {SENTENCE_RMC, "RMC", RMC_FIELDS},
    {SENTENCE_GLL, "GLL", GLL_FIELDS}, {SENTENCE_VTG, "VTG", VTG_FIELDS},
};
static_assert(sizeof RECORD_LAYOUTS / sizeof RECORD_LAYOUTS[0] == SENTENCE_TYPE_COUNT);

void PrintInt(int32_t value) { std::printf("%d", static_cast<int>(value)); }

// A float as %.9g, which reads back to the same 32-bit value.
void PrintFloat(float value) {
  if (std::isfinite(value)) std::printf("%.9g", static_cast<double>(value));
  else std::fputs("null", stdout);
}

// A character inside a JSON string.
void PrintStringChar(unsigned char c) {
  if (c == '"' || c == '\\') std::printf("\\%c", c);
  else if (c < 0x20 || c > 126) std::printf("\\u%04x", c);
  else std::putchar(c);
}

void PrintChar(char value) {
  std::putchar('"');
  if (value != '\0') PrintStringChar(static_cast<unsigned char>(value));
  std::putchar('"');
}

void PrintField(const RecordField& field, const unsigned char* record) {
  const unsigned char* at = record + field.offset;
  switch (field.kind) {
    case KIND_INT: {
      int32_t value;
      std::memcpy(&value, at, sizeof value);
      PrintInt(value);
      break;
    }
    case KIND_CHAR: PrintChar(static_cast<char>(*at)); break;
    case KIND_FLOAT: {
      float value;
      std::memcpy(&value, at, sizeof value);
      PrintFloat(value);
      break;
    }
    case KIND_TIME: {
      UtcTime t;
      std::memcpy(&t, at, sizeof t);
      std::printf("{\"hours\":%d,\"minutes\":%d,\"seconds\":%d,\"hundredths\":%d}", t.hours, t.minutes,
                  t.seconds, t.hundredths);
      break;
    }
    case KIND_ANGLE: {
      GeoAngle a;
      std::memcpy(&a, at, sizeof a);
      std::printf("{\"degrees\":%d,\"minutes\":%d,\"fraction\":%d}", a.degrees, a.minutes, a.fraction);
      break;
    }
    case KIND_DATE: {
      NmeaDate d;
      std::memcpy(&d, at, sizeof d);
      std::printf("{\"day\":%d,\"month\":%d,\"year\":%d}", d.day, d.month, d.year);
      break;
    }
    case KIND_SATELLITE_LIST: {
      int32_t satellites[12];
      std::memcpy(satellites, at, sizeof satellites);
      for (int i = 0; i < 12; ++i) std::printf("%c%d", i == 0 ? '[' : ',', satellites[i]);
      std::fputs("]", stdout);
      break;
    }
    case KIND_TALKER: {
      std::putchar('"');
      for (int i = 0; i < 2 && at[i] != '\0'; ++i) PrintStringChar(at[i]);
      std::putchar('"');
      break;
    }
    case KIND_GSV_SATELLITES: {
      GsvSatellite satellites[4];
      std::memcpy(satellites, at, sizeof satellites);
      for (int i = 0; i < 4; ++i)
        std::printf("%c{\"prn\":%d,\"elevation\":%d,\"azimuth\":%d,\"snr\":%d}", i == 0 ? '[' : ',',
                    satellites[i].prn, satellites[i].elevation, satellites[i].azimuth, satellites[i].snr);
      std::fputs("]", stdout);
      break;
    }
  }
}

int32_t PrintRecord(GpsContext*, SentenceType type, void* record, int32_t) {
  if (type < 0 || type >= SENTENCE_TYPE_COUNT) return 0;
  const RecordLayout& layout = RECORD_LAYOUTS[type];
  std::printf("{\"type\":\"%s\",\"record\":{", layout.formatter);
  for (const RecordField* field = layout.fields; field->name != nullptr; ++field) {
    std::printf("%s\"%s\":", field == layout.fields ? "" : ",", field->name);
    PrintField(*field, static_cast<const unsigned char*>(record));
  }
  std::fputs("}}\n", stdout);
  return 0;
}

unsigned char gReadBuffer[1 << 16];

// Feeds the whole stream in blocks, as the serial layer does; false when
// reading failed.
bool FeedStream(GpsContext* context, std::FILE* in) {
  size_t count;
  while ((count = std::fread(gReadBuffer, 1, sizeof gReadBuffer, in)) > 0)
    GpsRxBytes(context, gReadBuffer, static_cast<int32_t>(count));
  return std::ferror(in) == 0;
}

// The state's objects as last printed, the fix and the sky they were made
// of, and whether a sentence has verified since the state was last shown.
struct StateShown {
  JsonText tpv;
  JsonText sky;
  JsonText gst;
  JsonText att;
  GpsFix fix;
  GpsSky skyOf;
  bool verified;
};

StateShown gShown;
JsonText gObject;

void NoteVerified(GpsContext*, const char*, int32_t, int32_t verdict) {
  if (verdict == GPS_SENTENCE_VERIFIED) gShown.verified = true;
}

void Keep(const JsonText& object, JsonText* shown) {
  std::memcpy(shown->text, object.text, object.length);
  shown->length = object.length;
}

// The object when it differs from the one last printed.
void PrintIfChanged(const JsonText& object, JsonText* shown) {
  if (object.length == shown->length && std::memcmp(object.text, shown->text, object.length) == 0) return;
  std::fwrite(object.text, 1, object.length, stdout);
  std::fputc('\n', stdout);
  Keep(object, shown);
}

// The object printed when it differs from the one last printed, or only
// kept as shown.
void ShowObject(bool print, JsonText* shown) {
  if (print) PrintIfChanged(gObject, shown);
  else Keep(gObject, shown);
}

// The same values make the same text: the objects are made again only when
// what they show has changed.
bool SameSky(const GpsFix& fix, const GpsSky& sky) {
  const GpsFix& was = gShown.fix;
  const GpsSky& wasSky = gShown.skyOf;
  return std::memcmp(&fix.pdop, &was.pdop, sizeof fix.pdop) == 0 &&
         std::memcmp(&fix.hdop, &was.hdop, sizeof fix.hdop) == 0 &&
         std::memcmp(&fix.vdop, &was.vdop, sizeof fix.vdop) == 0 && sky.signalCount == wasSky.signalCount &&
         sky.usedCount == wasSky.usedCount &&
         std::memcmp(sky.signals, wasSky.signals, sizeof sky.signals[0] * static_cast<size_t>(sky.signalCount)) == 0;
}

void ShowState(const GpsContext* context, bool print) {
  static GpsFix fix;
  static GpsSky sky;
  (void)GpsGetFix(context, &fix);  // fail only for a null argument
  (void)GpsGetSky(context, &sky);
  const bool sameSky = print && SameSky(fix, sky);
  const bool fixChanged = !print || std::memcmp(&fix, &gShown.fix, sizeof fix) != 0;
  if (fixChanged) {
    FormatTpv(fix, &gObject);
    ShowObject(print, &gShown.tpv);
  }
  if (!sameSky) {
    FormatSky(fix, sky, &gObject);
    ShowObject(print, &gShown.sky);
    gShown.skyOf.signalCount = sky.signalCount;
    gShown.skyOf.usedCount = sky.usedCount;
    std::memcpy(gShown.skyOf.signals, sky.signals, sizeof sky.signals[0] * static_cast<size_t>(sky.signalCount));
  }
  if (fixChanged) {
    FormatGst(fix, &gObject);
    ShowObject(print, &gShown.gst);
    FormatAtt(fix, &gObject);
    ShowObject(print, &gShown.att);
  }
  gShown.fix = fix;
}

// The sentence the framer has just verified, '$' to the second checksum
// character, as received.
void PrintVerifiedSentence(const GpsContext* context) {
  const void* star = std::memchr(context->sentence, '*', GPS_SENTENCE_SIZE);
  const size_t length = star == nullptr ? 0 : static_cast<size_t>(static_cast<const char*>(star) - context->sentence) + 3;
  std::fwrite(context->sentence, 1, length, stdout);
  std::fputc('\n', stdout);
}

// Feeds the stream byte by byte; after each verified sentence prints it and
// the objects of the state that it changed.  False when reading failed.
bool FeedStreamShowingState(GpsContext* context, std::FILE* in) {
  size_t count;
  while ((count = std::fread(gReadBuffer, 1, sizeof gReadBuffer, in)) > 0) {
    for (size_t i = 0; i < count; ++i) {
      GpsFeedByte(context, gReadBuffer[i]);
      if (!gShown.verified) continue;
      gShown.verified = false;
      PrintVerifiedSentence(context);
      ShowState(context, true);
    }
  }
  return std::ferror(in) == 0;
}

// gpsd's objects as the server writes them, for the file being fed.
struct GpsdShown {
  std::string lines;
  const char* device;
};

GpsdShown gGpsd;

// Written out in blocks, as a socket would take them.
void FlushGpsd() {
  std::fwrite(gGpsd.lines.data(), 1, gGpsd.lines.size(), stdout);
  gGpsd.lines.clear();
}

void PrintEpoch(GpsContext*, const GpsFix* fix, const GpsSky* sky) {
  GpsdAppendTpv(&gGpsd.lines, gGpsd.device, *fix);
  GpsdAppendSky(&gGpsd.lines, gGpsd.device, *fix, *sky);
  if (gGpsd.lines.size() >= sizeof gReadBuffer) FlushGpsd();
}

// Feeds the stream in blocks; the epoch callback prints each epoch's TPV and
// SKY.  False when reading failed.
bool FeedStreamShowingEpochs(GpsContext* context, std::FILE* in) {
  const bool read = FeedStream(context, in);
  FlushGpsd();
  return read;
}

// The counts as one JSON object on one line of standard error.
void PrintStats(const GpsContext* context) {
  GpsStats stats = {};
  (void)GpsGetStats(context, &stats);  // fails only for a null argument
  std::fprintf(stderr,
               "{\"bytes\":%u,\"sentences\":%u,\"ignored\":%u,\"checksumErrors\":%u,\"tooShort\":%u,"
               "\"tooLong\":%u,\"cutShort\":%u}\n",
               static_cast<unsigned>(stats.bytes), static_cast<unsigned>(stats.sentences),
               static_cast<unsigned>(stats.ignored), static_cast<unsigned>(stats.checksumErrors),
               static_cast<unsigned>(stats.tooShort), static_cast<unsigned>(stats.tooLong),
               static_cast<unsigned>(stats.cutShort));
}

const char USAGE[] =
    "usage: nmea-decode [--state | --gpsd] [--stats] [FILE]...\n"
    "Feeds the NMEA 0183 bytes of each FILE in order (standard input when none\n"
    "is given) through the OrvoGPS framer and prints each decoded sentence as\n"
    "one JSON object per line. Exit status 2 when a file could not be read\n"
    "(or when both --state and --gpsd are given).\n"
    "  --state  instead print each verified sentence, then the navigation\n"
    "           state's TPV (fix), SKY, GST (error estimate) and ATT (heading)\n"
    "           objects that it changed, one a line\n"
    "  --gpsd   instead print, once per epoch, the TPV and SKY objects that\n"
    "           orvogps-server sends a client watching with json (gpsd's\n"
    "           protocol, CR LF line ends), the file's name as the device\n"
    "  --stats  then print the framer's counts (bytes, sentences, ignored,\n"
    "           checksumErrors, tooShort, tooLong, cutShort) as one JSON\n"
    "           object on standard error\n";

#ifdef _WIN32
// Bytes in and out as they are: no CR LF translation.
bool UseBinaryStreams() {
  return _setmode(_fileno(stdin), _O_BINARY) != -1 && _setmode(_fileno(stdout), _O_BINARY) != -1;
}
#else
bool UseBinaryStreams() { return true; }
#endif

}  // namespace

bool IsOption(const char* argument) {
  return std::strcmp(argument, "--stats") == 0 || std::strcmp(argument, "--state") == 0 ||
         std::strcmp(argument, "--gpsd") == 0;
}

int main(int argc, char** argv) {
  bool stats = false;
  bool state = false;
  bool gpsd = false;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--stats") == 0) stats = true;
    else if (std::strcmp(argv[i], "--state") == 0) state = true;
    else if (std::strcmp(argv[i], "--gpsd") == 0) gpsd = true;
    else ++files;
  }
  if (state && gpsd) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  if (!UseBinaryStreams()) {
    std::fprintf(stderr, "nmea-decode: cannot switch the standard streams to binary: %s\n", std::strerror(errno));
    return 2;
  }
  GpsContext* context = GpsContextInit(state || gpsd ? nullptr : PrintRecord);
  ShowState(context, false);
  if (state) (void)GpsSetSentenceCallback(context, NoteVerified);  // fails only for a null context
  bool (*feed)(GpsContext*, std::FILE*) = state ? FeedStreamShowingState : FeedStream;
  if (gpsd) {
    (void)GpsSetEpochCallback(context, PrintEpoch);  // fails only for a null context
    feed = FeedStreamShowingEpochs;
  }
  gGpsd.device = "stdin";
  int status = 0;
  if (files == 0 && !feed(context, stdin)) {
    std::fprintf(stderr, "nmea-decode: standard input: %s\n", std::strerror(errno));
    status = 2;
  }
  for (int i = 1; i < argc; ++i) {
    if (IsOption(argv[i])) continue;
    errno = 0;
    std::FILE* in = std::fopen(argv[i], "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "nmea-decode: %s: %s\n", argv[i], std::strerror(errno));
      status = 2;
      continue;
    }
    gGpsd.device = argv[i];
    const bool read = feed(context, in);
    const int readErrno = errno;
    // Nothing was written to the file, so a failing close loses nothing.
    (void)std::fclose(in);
    if (!read) {
      std::fprintf(stderr, "nmea-decode: %s: %s\n", argv[i], std::strerror(readErrno));
      status = 2;
    }
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "nmea-decode: standard output: %s\n", std::strerror(errno));
    return 2;
  }
  if (stats) PrintStats(context);
  return status;
}
