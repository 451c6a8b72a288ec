// The steadiness figures against positions worked out by hand: ten points
// on the east and north axes, 1 to 5 m out, in pairs either side of the
// mean, and one on it, at the equator and at 60 degrees north (where a
// degree of longitude is half as long), degrees written from WGS 84's radii.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "monitor/steadiness.h"

namespace {

GpsFix FixAt(double latitude, double longitude, double altitude, int32_t mode = GPS_MODE_3D) {
  GpsFix fix = {};
  fix.latitude = latitude;
  fix.longitude = longitude;
  fix.altitudeMsl = altitude;
  fix.mode = mode;
  return fix;
}

// East, north in metres; the distances sorted are 0 1 1 2 2 3 3 4 4 5 5:
// CEP50 the 6th (ceil(5.5)), 3 m; CEP95 the 11th (ceil(10.45)), 5 m; 2DRMS
// 2 * sqrt((2 * (1 + 4 + 9 + 16 + 25)) / 11) = 2 * sqrt(10) = 6.32456 m.
const double EAST_NORTH[11][2] = {{1, 0},  {-1, 0}, {0, 2},  {0, -2}, {3, 0}, {-3, 0},
                                  {0, 4},  {0, -4}, {5, 0},  {-5, 0}, {0, 0}};
const struct {
  const char* legend;
  double degrees[11][2];  // latitude, longitude
} PLACES[] = {
    {"equator",
     {{0, 10.000008983153}, {0, 9.999991016847}, {0.000018087390, 10}, {-0.000018087390, 10}, {0, 10.000026949459},
      {0, 9.999973050541}, {0.000036174779, 10}, {-0.000036174779, 10}, {0, 10.000044915764}, {0, 9.999955084236}, {0, 10}}},
    {"60 N",
     {{60, 10.000017921146}, {60, 9.999982078854}, {60.000017951341, 10}, {59.999982048659, 10}, {60, 10.000053763439},
      {60, 9.999946236561}, {60.000035902683, 10}, {59.999964097317, 10}, {60, 10.000089605732}, {60, 9.999910394268}, {60, 10}}},
};

TEST(steadiness_test, figures_and_dots_are_those_worked_out_by_hand) {
  for (const auto& place : PLACES) {
    static Steadiness s;
    SteadinessReset(&s);
    // Altitudes 10 and 12 by turns, 11 on the mean: mean 11, standard
    // deviation sqrt(10 / 11) = 0.953463.
    for (int i = 0; i < 11; ++i)
      ASSERT_TRUE(SteadinessAdd(&s, FixAt(place.degrees[i][0], place.degrees[i][1], i == 10 ? 11 : i % 2 ? 12 : 10)));
    SteadyFigures f;
    SteadyDot dots[STEADY_POINTS];
    SteadinessMeasure(s, &f, dots);
    EXPECT_EQ(11, f.count) << place.legend;
    EXPECT_NEAR(3.0, f.cep50, 1e-4) << place.legend;
    EXPECT_NEAR(5.0, f.cep95, 1e-4) << place.legend;
    EXPECT_NEAR(6.32456, f.drms2, 1e-4) << place.legend;
    EXPECT_NEAR(0.953463, f.altitudeSd, 1e-6) << place.legend;
    for (int i = 0; i < 11; ++i) {
      EXPECT_NEAR(EAST_NORTH[i][0], dots[i].east, 1e-4) << place.legend << " point " << i;
      EXPECT_NEAR(EAST_NORTH[i][1], dots[i].north, 1e-4) << place.legend << " point " << i;
    }
  }
}

TEST(steadiness_test, only_fixes_count_the_oldest_go_first_and_reset_starts_again) {
  static Steadiness s;
  SteadinessReset(&s);
  SteadyFigures f;
  SteadinessMeasure(s, &f, nullptr);
  EXPECT_EQ(0, f.count);
  EXPECT_TRUE(std::isnan(f.cep50));
  EXPECT_FALSE(SteadinessAdd(&s, FixAt(48, 11, 500, GPS_MODE_NO_FIX)));
  EXPECT_FALSE(SteadinessAdd(&s, FixAt(NAN, 11, 500)));
  // A 2D fix has a place but no altitude.
  EXPECT_TRUE(SteadinessAdd(&s, FixAt(0, 10, 999, GPS_MODE_2D)));
  SteadinessMeasure(s, &f, nullptr);
  EXPECT_EQ(1, f.count);
  EXPECT_EQ(0, f.altitudes);
  EXPECT_TRUE(std::isnan(f.altitudeSd));
  EXPECT_EQ(0.0, f.cep95);
  // 600 points 1 m east of 10 degrees push the first one and 99 more out:
  // then everything lies on one spot.
  for (int i = 0; i < STEADY_POINTS + 99; ++i) SteadinessAdd(&s, FixAt(0, 10.000008983153, 5));
  SteadinessMeasure(s, &f, nullptr);
  EXPECT_EQ(STEADY_POINTS, f.count);
  EXPECT_NEAR(0.0, f.drms2, 1e-9);
  EXPECT_NEAR(0.0, f.altitudeSd, 1e-9);
  char text[STEADY_TEXT_SIZE];
  FormatSteadyFigures(f, text, sizeof text);
  EXPECT_STREQ("CEP50        0.00 m\r\nCEP95        0.00 m\r\n2DRMS        0.00 m\r\nAltitude SD  0.00 m\r\n"
               "Points       600 of 600",
               text);
  SteadinessReset(&s);
  SteadinessMeasure(s, &f, nullptr);
  EXPECT_EQ(0, f.count);
  FormatSteadyFigures(f, text, sizeof text);
  EXPECT_STREQ("CEP50        -\r\nCEP95        -\r\n2DRMS        -\r\nAltitude SD  -\r\nPoints       0 of 600", text);
}

}  // namespace
