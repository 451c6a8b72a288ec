// Decoding a byte stream through the library's framer, keeping a copy of
// every record the callback received.
#ifndef GPS_SIM_TESTS_DECODE_SUPPORT_H
#define GPS_SIM_TESTS_DECODE_SUPPORT_H

#include <string>
#include <vector>

#include "nmea/nmea.h"

struct DecodedSentence {
  SentenceType type;
  GgaRecord gga;  // only the member of type is filled
  GsaRecord gsa;
  GsvRecord gsv;
  RmcRecord rmc;
  GllRecord gll;
  VtgRecord vtg;
};

// Every sentence the framer verified and dispatched, in order.
std::vector<DecodedSentence> DecodeStream(const std::string& bytes);

int CountOfType(const std::vector<DecodedSentence>& decoded, SentenceType type);

#endif
