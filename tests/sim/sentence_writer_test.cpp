#include "sentence_writer.h"

#include <gtest/gtest.h>

TEST(sentence_writer_test, frames_the_classic_gga_with_its_known_checksum) {
  EXPECT_EQ(NmeaFrame("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
}

TEST(sentence_writer_test, checksum_digits_are_upper_case_and_zero_padded) {
  EXPECT_EQ(NmeaFrame("GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5"),
            "$GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5*33\r\n");
  EXPECT_EQ(NmeaFrame("A"), "$A*41\r\n");
  EXPECT_EQ(NmeaFrame("AA"), "$AA*00\r\n");
}

TEST(sentence_writer_test, angles_print_as_degrees_and_four_decimal_minutes) {
  struct Row {
    const char* legend;
    double degrees;
    const char* latitude;
    const char* longitude;
  };
  const Row rows[] = {
      {"north east", 48.1173, "4807.0380,N", "04807.0380,E"},
      {"south west", -37.78478833, "3747.0873,S", "03747.0873,W"},
      {"three-digit longitude", 121.3142467, "12118.8548,N", "12118.8548,E"},
      {"zero", 0.0, "0000.0000,N", "00000.0000,E"},
      {"minutes that round up carry into the degree", 10.999999999, "1100.0000,N",
       "01100.0000,E"},
      {"just west of Greenwich", -0.00001, "0000.0006,S", "00000.0006,W"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FormatLatitude(r.degrees), r.latitude) << r.legend;
    EXPECT_EQ(FormatLongitude(r.degrees), r.longitude) << r.legend;
  }
}

TEST(sentence_writer_test, utc_time_and_date_fields) {
  // 2014-12-31 03:07:19 UTC, the first fix of the bu353s4 capture.
  const int64_t t = 1419995239;
  EXPECT_EQ(FormatUtcTime(t), "030719.00");
  EXPECT_EQ(FormatUtcDate(t), "311214");
  EXPECT_EQ(FormatUtcTime(0), "000000.00");
  EXPECT_EQ(FormatUtcDate(0), "010170");
}
