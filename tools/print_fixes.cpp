// print-fixes: the smallest program on the receiver library. Opens COM1 and
// prints each GGA fix for five seconds.
#include <windows.h>
#include <cstdio>
#include <nmea/receiver.h>

// Runs on the port's reader thread for every decoded sentence.
static int32_t PrintFix(GpsContext*, SentenceType type, void* record, int32_t) {
  if (type != SENTENCE_GGA) return 0;
  const GgaRecord* fix = static_cast<const GgaRecord*>(record);
  std::printf("%02d:%02d:%02d  %02d %02d.%04d %c  %03d %02d.%04d %c  quality %d, %d satellites\n",
              fix->time.hours, fix->time.minutes, fix->time.seconds, fix->latitude.degrees,
              fix->latitude.minutes, fix->latitude.fraction, fix->latHemisphere, fix->longitude.degrees,
              fix->longitude.minutes, fix->longitude.fraction, fix->lonHemisphere, fix->fixQuality,
              fix->satellitesUsed);
  return 0;
}

int main() {
  GpsContext* gps = nullptr;
  if (OrvoGPSOpen(0 /* COM1 */, PrintFix, &gps) != 0) {
    std::fprintf(stderr, "cannot open COM1\n");
    return 1;
  }
  Sleep(5000);  // fixes arrive on the reader thread meanwhile
  OrvoGPSClose(gps);
  return 0;
}
