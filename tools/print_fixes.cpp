// print-fixes: the smallest program on the receiver library. Opens COM1,
// prints one line per receiver cycle for five seconds, then what the link did.
#include <windows.h>
#include <cmath>
#include <cstdio>
#include <comport/comport.h>
#include <nmea/receiver.h>

// Runs on the port's reader thread once per receiver cycle, with the fix and
// the sky put together from every sentence of the cycle, all constellations.
static void PrintEpoch(GpsContext*, const GpsFix* fix, const GpsSky* sky) {
  char time[32] = "no time";
  if (fix->year != GPS_UNKNOWN && fix->hours != GPS_UNKNOWN)
    std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", fix->year, fix->month, fix->day,
                  fix->hours, fix->minutes, fix->seconds, fix->milliseconds);
  char position[64] = "no position";
  if (!std::isnan(fix->latitude))
    std::snprintf(position, sizeof position, "%.6f %c %.6f %c", std::fabs(fix->latitude),
                  fix->latitude < 0 ? 'S' : 'N', std::fabs(fix->longitude), fix->longitude < 0 ? 'W' : 'E');
  char altitude[32] = "- m";
  if (!std::isnan(fix->altitudeMsl)) std::snprintf(altitude, sizeof altitude, "%.1f m", fix->altitudeMsl);
  const char* mode = fix->mode == GPS_MODE_3D ? "3D" : fix->mode == GPS_MODE_2D ? "2D" : "no fix";
  std::printf("%s %s %s %s %d/%d satellites\n", time, position, altitude, mode, sky->usedCount, sky->signalCount);
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
  // No sentence callback: the epoch callback gives the whole fix.
  if (OrvoGPSOpen(0 /* COM1 */, nullptr, &gps) != 0) {
    std::fprintf(stderr, "cannot open COM1\n");
    return 1;
  }
  GpsSetEpochCallback(gps, PrintEpoch);
  Sleep(5000);  // epochs arrive on the reader thread meanwhile
  PrintLinkStats(gps);
  OrvoGPSClose(gps);
  return 0;
}
