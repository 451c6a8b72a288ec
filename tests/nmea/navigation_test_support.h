// Helpers of the navigation state's tests: sentences fed in order, and the
// fields of a fix checked by name.
#ifndef ORVOGPS_TESTS_NMEA_NAVIGATION_TEST_SUPPORT_H
#define ORVOGPS_TESTS_NMEA_NAVIGATION_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "nmea/nmea.h"
#include "nmea_test_support.h"

// An expected value that must be unknown: GPS_UNKNOWN or NaN.
constexpr double UNKNOWN = -1e300;

// A field of GpsFix by its name, and the value it must have.
struct Expected {
  const char* field;
  double value;
};

// Each sentence as it is when it starts with '$', else framed with its
// checksum; each followed by CR LF.
void FeedSentences(GpsContext* context, const std::vector<std::string>& sentences);

// GpsGetFix's copy, field by field; fractions to 1e-9.
void ExpectFix(const GpsContext* context, const std::vector<Expected>& expected, const std::string& legend);

#endif
