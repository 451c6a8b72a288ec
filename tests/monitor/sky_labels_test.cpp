// The sky plot's labels on two crowded skies, every epoch of a u-blox
// NEO-M9N's capture (four constellations) and of a Unicore UM621's, in the
// plot of the smallest window: no two labels meet, none covers a mark, all
// stay on the plot, and few are left out.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <nmea/navigation.h>
#include <nmea/nmea.h>

#include "monitor/layout.h"
#include "monitor/monitor_ids.h"
#include "monitor/sky_labels.h"

namespace {

// Arial bold at 11 pixels, as the plot writes them: no character is wider
// than 7 pixels.
constexpr int32_t CHAR_WIDTH = 7;
constexpr int32_t TEXT_HEIGHT = 13;

struct Tally {
  int32_t epochs = 0, labels = 0, leftOut = 0, mostLeftOut = 0, failures = 0;
  std::string firstFailure;
} gTally;
SkyGeometry gPlot;

void Fail(const char* what, const SatelliteMark& a, const SatelliteMark* b) {
  if (gTally.failures++ == 0)
    gTally.firstFailure = std::string(what) + " " + a.label + (b ? std::string(" and ") + b->label : "") +
                          " at epoch " + std::to_string(gTally.epochs);
}

void CheckEpoch(GpsContext*, const GpsFix*, const GpsSky* sky) {
  static SatelliteMark marks[GPS_SKY_SIZE];
  static LabelSpot spots[GPS_SKY_SIZE];
  static int32_t markOf[GPS_SKY_SIZE];
  static Box labels[GPS_SKY_SIZE];
  const int32_t markCount = CollectSatellites(*sky, marks, GPS_SKY_SIZE);
  const int32_t count = SkyLabelSpots(marks, markCount, gPlot, spots, markOf);
  for (int32_t i = 0; i < count; ++i) {
    spots[i].width = CHAR_WIDTH * static_cast<int32_t>(std::strlen(marks[markOf[i]].label));
    spots[i].height = TEXT_HEIGHT;
  }
  const int32_t left = PlaceSkyLabels(spots, count, SKY_MARK_RADIUS, 2 * gPlot.cx, 2 * gPlot.cy, labels);
  ++gTally.epochs;
  gTally.labels += count;
  gTally.leftOut += left;
  gTally.mostLeftOut = std::max(gTally.mostLeftOut, left);
  for (int32_t i = 0; i < count; ++i) {
    const Box& a = labels[i];
    if (a.width == 0) continue;
    if (a.left < 0 || a.top < 0 || a.left + a.width > 2 * gPlot.cx || a.top + a.height > 2 * gPlot.cy)
      Fail("off the plot:", marks[markOf[i]], nullptr);
    for (int32_t j = 0; j < count; ++j) {
      const Box mark = {spots[j].x - SKY_MARK_RADIUS, spots[j].y - SKY_MARK_RADIUS, 2 * SKY_MARK_RADIUS + 1,
                        2 * SKY_MARK_RADIUS + 1};
      if (BoxesMeet(a, mark)) Fail("label on mark:", marks[markOf[i]], &marks[markOf[j]]);
      if (j != i && labels[j].width != 0 && BoxesMeet(a, labels[j]))
        Fail("labels meet:", marks[markOf[i]], &marks[markOf[j]]);
    }
  }
}

TEST(sky_labels_test, no_two_labels_meet_on_crowded_skies_in_the_smallest_window) {
  MonitorLayout layout;
  LayOutMonitor(MONITOR_MIN_WIDTH, MONITOR_MIN_HEIGHT, &layout);
  gPlot = SkyPlotGeometry(layout.skyPlot.width, layout.skyPlot.height);
  ASSERT_GT(gPlot.radius, 100);
  for (const char* capture : {"ublox-neo-m9n-nmea.log", "unicore-um621.log"}) {
    gTally = Tally();
    std::ifstream in(std::string(ORVO_CAPTURES_DIR) + "/" + capture, std::ios::binary);
    ASSERT_TRUE(in) << capture;
    GpsContext* context = GpsContextInit(nullptr);
    GpsSetEpochCallback(context, CheckEpoch);
    for (char c; in.get(c);) GpsFeedByte(context, static_cast<unsigned char>(c));
    std::printf("%s, a %dx%d plot: %d epochs, %d labels, %d left out (at most %d in one epoch)\n", capture,
                static_cast<int>(layout.skyPlot.width), static_cast<int>(layout.skyPlot.height),
                static_cast<int>(gTally.epochs), static_cast<int>(gTally.labels), static_cast<int>(gTally.leftOut),
                static_cast<int>(gTally.mostLeftOut));
    EXPECT_GE(gTally.epochs, 20) << capture;
    EXPECT_EQ(0, gTally.failures) << capture << ": " << gTally.firstFailure;
    // Nearly every label is shown: one in fifty at most is left to the tooltip.
    EXPECT_LE(gTally.leftOut * 50, gTally.labels) << capture;
  }
}

}  // namespace
