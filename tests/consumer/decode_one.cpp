// Decodes one GGA sentence of a BeiDou/GPS receiver (beidou-gb.log) with the
// installed decoding core; every expected value is read off the sentence.
#include <nmea/nmea.h>

#include <cstdio>
#include <cstring>

namespace {

const char kSentence[] =
    "$GPGGA,053232.438,3114.8789,N,12135.2442,E,1,06,1.2,153.8,M,8.3,M,,0000*6A\r\n";

int gCalls = 0;
SentenceType gType = -1;
GgaRecord gFix;

int32_t KeepFix(GpsContext*, SentenceType type, void* record, int32_t) {
  ++gCalls;
  gType = type;
  if (type == SENTENCE_GGA) std::memcpy(&gFix, record, sizeof gFix);
  return 0;
}

int gFailures = 0;

void Expect(bool holds, const char* what) {
  if (holds) return;
  std::printf("decode-one: wrong %s\n", what);
  ++gFailures;
}

}  // namespace

int main() {
  GpsContext* context = GpsContextInit(KeepFix);
  for (const char* c = kSentence; *c != '\0'; ++c)
    Expect(GpsFeedByte(context, static_cast<unsigned char>(*c)) == 1, "GpsFeedByte result");
  Expect(gCalls == 1, "number of callbacks");
  Expect(gType == SENTENCE_GGA, "sentence type");
  Expect(gFix.time.hours == 5 && gFix.time.minutes == 32 && gFix.time.seconds == 32 &&
             gFix.time.hundredths == 43,
         "time");
  Expect(gFix.latitude.degrees == 31 && gFix.latitude.minutes == 14 &&
             gFix.latitude.fraction == 8789 && gFix.latHemisphere == 'N',
         "latitude");
  Expect(gFix.longitude.degrees == 121 && gFix.longitude.minutes == 35 &&
             gFix.longitude.fraction == 2442 && gFix.lonHemisphere == 'E',
         "longitude");
  Expect(gFix.fixQuality == 1 && gFix.satellitesUsed == 6, "fix quality or satellites");
  Expect(gFix.hdop == 1.2f && gFix.altitude == 153.8f, "HDOP or altitude");
  if (gFailures == 0) std::printf("decode-one: GGA 05:32:32 31 14.8789 N 121 35.2442 E decoded\n");
  return gFailures == 0 ? 0 : 1;
}
