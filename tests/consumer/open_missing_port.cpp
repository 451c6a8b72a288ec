// The installed receiver library on a port with no device behind it: the
// open fails cleanly and the close refuses a null context.
//   open-missing-port <port index>   (0 is COM1)
#include <comport/comport.h>
#include <nmea/receiver.h>

#include <cstdio>
#include <cstdlib>

// The package builds its users for Windows 7 and later, so the input mask
// has none of the touch and pointer bits that Windows 7 refuses.
static_assert(_WIN32_WINNT == 0x0601 && WINVER == 0x0601, "the Windows 7 baseline");
static_assert(QS_ALLINPUT == 0x04FF, "QS_ALLINPUT as Windows 7 knows it");

namespace {

int32_t Ignore(GpsContext*, SentenceType, void*, int32_t) { return 0; }

int gFailures = 0;

void ExpectEqual(long actual, long expected, const char* what) {
  if (actual == expected) return;
  std::printf("open-missing-port: %s gave %ld, expected %ld\n", what, actual, expected);
  ++gFailures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: open-missing-port <port index>\n");
    return 2;
  }
  const int32_t index = std::atoi(argv[1]);

  GpsContext* const untouched = reinterpret_cast<GpsContext*>(0x1);
  GpsContext* context = untouched;
  ExpectEqual(OrvoGPSOpen(index, Ignore, &context), 1, "OrvoGPSOpen");
  ExpectEqual(context == untouched, 1, "context variable kept after the failed open");
  ExpectEqual(OrvoGPSClose(nullptr), 3, "OrvoGPSClose(nullptr)");
  ExpectEqual(OrvoGPSIsActive(nullptr), 0, "OrvoGPSIsActive(nullptr)");

  // The serial layer itself: no device is error 2, ERROR_FILE_NOT_FOUND.
  OrvoCOMInitPorts();
  ComPort* port = nullptr;
  uint32_t error = 0;
  ExpectEqual(OrvoCOMOpenPort(index, 4800, 8, NOPARITY, ONESTOPBIT, 1, nullptr, &port, nullptr,
                              &error),
              2, "OrvoCOMOpenPort");
  ExpectEqual(static_cast<long>(error), ERROR_FILE_NOT_FOUND, "OrvoCOMOpenPort's error");
  ExpectEqual(OrvoCOMClosePort(nullptr), 1, "OrvoCOMClosePort(nullptr)");

  if (gFailures == 0) std::printf("open-missing-port: COM%d has no device; open 1, close 3\n", index + 1);
  return gFailures == 0 ? 0 : 1;
}
