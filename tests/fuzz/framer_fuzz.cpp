// libFuzzer target: arbitrary bytes through the framer, dispatch, the six
// parsers and the navigation state.  Besides the sanitizers' checks it
// asserts what must hold after every byte and at every callback, and that
// the bytes fed in blocks frame as they do fed one by one.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nmea/nmea.h"
#include "nmea/receiver.h"

namespace {

const void* RecordOf(GpsContext* context, SentenceType type) {
  const void* records[SENTENCE_TYPE_COUNT] = {&context->gga, &context->gsa, &context->gsv,
                                              &context->rmc, &context->gll, &context->vtg};
  return type >= 0 && type < SENTENCE_TYPE_COUNT ? records[type] : nullptr;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A '$' only ever starts a sentence, and a verified sentence ends in '*' and
// two hexadecimal digits.
bool WellFramed(const char* sentence) {
  if (sentence[0] != '$') return false;
  int32_t i = 1;
  for (; i < GPS_SENTENCE_SIZE - 2 && sentence[i] != '*'; ++i)
    if (sentence[i] == '$') return false;
  return i < GPS_SENTENCE_SIZE - 2 && IsHexDigit(sentence[i + 1]) && IsHexDigit(sentence[i + 2]);
}

bool Within(double value, double low, double high) { return std::isnan(value) || (value >= low && value <= high); }

bool UnknownOrWithin(int32_t value, int32_t low, int32_t high) {
  return value == GPS_UNKNOWN || (value >= low && value <= high);
}

// Every value of the fix is unknown or within its range, and the parts of a
// date, a time or a position are known together.
void CheckFix(const GpsFix& f) {
  if ((f.year == GPS_UNKNOWN) != (f.day == GPS_UNKNOWN) || (f.hours == GPS_UNKNOWN) != (f.milliseconds == GPS_UNKNOWN))
    std::abort();
  if (!UnknownOrWithin(f.year, 1980, 2201) || !UnknownOrWithin(f.month, 1, 12) || !UnknownOrWithin(f.day, 1, 31) ||
      !UnknownOrWithin(f.hours, 0, 23) || !UnknownOrWithin(f.minutes, 0, 59) || !UnknownOrWithin(f.seconds, 0, 59) ||
      !UnknownOrWithin(f.milliseconds, 0, 999))
    std::abort();
  if (std::isnan(f.latitude) != std::isnan(f.longitude) || !Within(f.latitude, -90, 90) ||
      !Within(f.longitude, -180, 180))
    std::abort();
  if (!std::isnan(f.altitudeHae) && (std::isnan(f.altitudeMsl) || std::isnan(f.geoidSeparation))) std::abort();
  if (!Within(f.speed, 0, 1e16) || !Within(f.track, 0, 360)) std::abort();
  if (!UnknownOrWithin(f.mode, GPS_MODE_NO_FIX, GPS_MODE_3D) || !UnknownOrWithin(f.quality, 0, 9) ||
      !UnknownOrWithin(f.satellitesUsed, 0, 99) || !UnknownOrWithin(f.usedSetSize, 0, 8 * 256))
    std::abort();
  if (!Within(f.pdop, 0.01, 89.99) || !Within(f.hdop, 0.01, 89.99) || !Within(f.vdop, 0.01, 89.99)) std::abort();
}

void CheckSky(const GpsSky& sky) {
  if (sky.signalCount < 0 || sky.signalCount > GPS_SKY_SIZE || sky.notShown < 0) std::abort();
  int32_t used = 0;
  for (int32_t i = 0; i < sky.signalCount; ++i) {
    const GpsSignal& s = sky.signals[i];
    const int32_t c = s.constellation;
    if (c < CONSTELLATION_GPS || c > CONSTELLATION_NAVIC || c == 4 || s.svid < 1 || s.svid > 158) std::abort();
    if (!UnknownOrWithin(s.signalId, 0, 15) || (s.used != 0 && s.used != 1) || (s.used == 1 && !(s.snr > 0)))
      std::abort();
    if (!Within(s.elevation, -90, 90) || !Within(s.azimuth, 0, 359.999) || !Within(s.snr, 0, 99)) std::abort();
    used += s.used;
  }
  if (used != sky.usedCount) std::abort();
}

GpsFix gFix;
GpsSky gSky;

void CheckState(const GpsContext* context) {
  if (GpsGetFix(context, &gFix) != 0 || GpsGetSky(context, &gSky) != 0) std::abort();
  CheckFix(gFix);
  CheckSky(gSky);
}

int32_t CheckingCallback(GpsContext* context, SentenceType type, void* record, int32_t reserved) {
  if (record == nullptr || record != RecordOf(context, type) || reserved != 0) std::abort();
  if (!WellFramed(context->sentence)) std::abort();
  if (type == SENTENCE_GSV && (context->gsv.satelliteCount < 0 || context->gsv.satelliteCount > 4))
    std::abort();
  CheckState(context);
  return 0;
}

void CheckingEpochCallback(GpsContext* context, const GpsFix* fix, const GpsSky* sky) {
  if (context == nullptr || fix == nullptr || sky == nullptr) std::abort();
  CheckFix(*fix);
  CheckSky(*sky);
}

// The input, the index of the byte being fed and the end of the last sentence
// told, for the sentence callback.
const uint8_t* gInput;
size_t gAt;
size_t gToldEnd;
// The sentences told, with their verdicts.
std::string gTold;

void TellingSentenceCallback(GpsContext*, const char* text, int32_t length, int32_t verdict) {
  gTold.append(1, static_cast<char>(verdict)).append(text, static_cast<size_t>(length));
}

// The sentences told and the counts at the end.
std::string Outcome(const GpsContext* context) {
  GpsStats stats = {};
  if (GpsGetStats(context, &stats) != 0) std::abort();
  return gTold + std::string(reinterpret_cast<const char*>(&stats), sizeof stats);
}

// A sentence is told as the bytes it came as, after the last one told and no
// later than the byte being fed (for one cut short, before it: its '$' starts
// the next).  Most are told at their last byte; one inside a binary frame
// candidate that failed is told when the candidate's bytes are framed again.
void CheckingSentenceCallback(GpsContext* context, const char* text, int32_t length, int32_t verdict) {
  if (context == nullptr || text == nullptr || verdict < GPS_SENTENCE_VERIFIED || verdict > GPS_SENTENCE_CUT_SHORT)
    std::abort();
  if (length < 1 || length > GPS_SENTENCE_SIZE || text[0] != '$') std::abort();
  if (verdict == GPS_SENTENCE_VERIFIED && (length < 13 || length > GPS_SENTENCE_SIZE - 1 || !WellFramed(text)))
    std::abort();
  const size_t end = verdict == GPS_SENTENCE_CUT_SHORT ? gAt : gAt + 1;
  const size_t size = static_cast<size_t>(length);
  for (size_t at = gToldEnd; at + size <= end; ++at) {
    if (std::memcmp(gInput + at, text, size) == 0) {
      gToldEnd = at + size;
      TellingSentenceCallback(context, text, length, verdict);
      return;
    }
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GpsContext* context = GpsContextInit(CheckingCallback);
  if (GpsSetEpochCallback(context, CheckingEpochCallback) != 0) std::abort();
  if (GpsSetSentenceCallback(context, CheckingSentenceCallback) != 0) std::abort();
  gInput = data;
  gToldEnd = 0;
  gTold.clear();
  for (size_t i = 0; i < size; ++i) {
    gAt = i;
    if (GpsFeedByte(context, data[i]) != 1) std::abort();
    if (context->position < 0 || context->position >= GPS_SENTENCE_SIZE) std::abort();
  }
  GpsRxBytes(context, nullptr, 0);  // counts the bytes of the sentence left open
  CheckState(context);
  const std::string byByte = Outcome(context);

  // The same bytes in blocks whose sizes the input gives (1 to 64) frame the same.
  GpsContextInit(CheckingCallback);
  GpsSetSentenceCallback(context, TellingSentenceCallback);
  gTold.clear();
  for (size_t at = 0; at < size;) {
    const size_t block = std::min<size_t>(size - at, 1 + data[at] % 64);
    GpsRxBytes(context, data + at, static_cast<int32_t>(block));
    at += block;
  }
  if (Outcome(context) != byByte) std::abort();
  return 0;
}
