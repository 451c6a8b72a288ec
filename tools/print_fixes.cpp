// print-fixes: the smallest program on the receiver library. Opens COM1,
// prints each GGA fix for five seconds, then what the link did.
#include <windows.h>
#include <cstdio>
#include <comport/comport.h>
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

// No bytes: cable or port.  Bytes but no sentences: wrong speed.
// Checksum errors: noise on the line.
static void PrintLinkStats(const GpsContext* gps) {
  GpsStats link = {};
  ComPortStats line = {};
  if (OrvoGPSGetStats(gps, &link, &line) != 0) return;
  std::printf("%u bytes: %u sentences, %u of other types, %u checksum errors, %u too short, %u too long, "
              "%u cut short\n",
              link.bytes, link.sentences, link.ignored, link.checksumErrors, link.tooShort, link.tooLong,
              link.cutShort);
  std::printf("%u reads, %u failed: %u framing, %u parity, %u overrun errors, %u buffer overflows\n",
              line.reads, line.readErrors, line.framingErrors, line.parityErrors, line.overrunErrors,
              line.bufferOverflows);
}

int main() {
  GpsContext* gps = nullptr;
  if (OrvoGPSOpen(0 /* COM1 */, PrintFix, &gps) != 0) {
    std::fprintf(stderr, "cannot open COM1\n");
    return 1;
  }
  Sleep(5000);  // fixes arrive on the reader thread meanwhile
  PrintLinkStats(gps);
  OrvoGPSClose(gps);
  return 0;
}
