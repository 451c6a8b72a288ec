#include "navigation_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

struct FixField {
  const char* name;
  double (*value)(const GpsFix& fix);
  bool integer;
};

#define INT_FIELD(name) {#name, [](const GpsFix& f) { return static_cast<double>(f.name); }, true}
#define REAL_FIELD(name) {#name, [](const GpsFix& f) { return f.name; }, false}

const FixField FIX_FIELDS[] = {
    INT_FIELD(year),           INT_FIELD(month),           INT_FIELD(day),          INT_FIELD(hours),
    INT_FIELD(minutes),        INT_FIELD(seconds),         INT_FIELD(milliseconds), REAL_FIELD(latitude),
    REAL_FIELD(longitude),     REAL_FIELD(altitudeMsl),    REAL_FIELD(geoidSeparation),
    REAL_FIELD(altitudeHae),   REAL_FIELD(speed),          REAL_FIELD(track),       INT_FIELD(mode),
    INT_FIELD(quality),        INT_FIELD(satellitesUsed),  INT_FIELD(usedSetSize),  REAL_FIELD(pdop),
    REAL_FIELD(hdop),          REAL_FIELD(vdop),           REAL_FIELD(rangeRms),    REAL_FIELD(errorMajor),
    REAL_FIELD(errorMinor),    REAL_FIELD(errorOrientation), REAL_FIELD(latitudeError),
    REAL_FIELD(longitudeError), REAL_FIELD(altitudeError), REAL_FIELD(heading),
};

}  // namespace

void FeedSentences(GpsContext* context, const std::vector<std::string>& sentences) {
  for (const std::string& sentence : sentences)
    FeedBytes(context, sentence[0] == '$' ? sentence + "\r\n" : WithChecksum(sentence));
}

void ExpectFix(const GpsContext* context, const std::vector<Expected>& expected, const std::string& legend) {
  GpsFix fix;
  ASSERT_EQ(GpsGetFix(context, &fix), 0) << legend;
  for (const Expected& e : expected) {
    const FixField* field = nullptr;
    for (const FixField& f : FIX_FIELDS)
      if (std::strcmp(f.name, e.field) == 0) field = &f;
    ASSERT_NE(field, nullptr) << legend << ": no field " << e.field;
    const double value = field->value(fix);
    if (e.value == UNKNOWN) {
      if (field->integer) EXPECT_EQ(value, GPS_UNKNOWN) << legend << ": " << e.field;
      else EXPECT_TRUE(std::isnan(value)) << legend << ": " << e.field << " is " << value;
    } else {
      EXPECT_NEAR(value, e.value, 1e-9) << legend << ": " << e.field;
    }
  }
}
