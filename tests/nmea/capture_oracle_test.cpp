// Every capture's sentences decoded by the library against two oracles that
// share no code with its decoders: gpsd's own decoding of the same capture
// (the TPV objects in chk/ give each position in signed degrees), and the
// sentence text itself, split here at its commas (times and satellite
// groups).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "nmea_test_support.h"

namespace {

// The fields between the '$' and the first '*', when the two characters
// after the '*' are the hexadecimal exclusive-or of those between.
bool VerifiedFields(const std::string& line, std::vector<std::string>* fields) {
  const size_t star = line.find('*');
  if (line.empty() || line[0] != '$' || star == std::string::npos || star + 3 > line.size()) return false;
  unsigned sum = 0;
  for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  char* end = nullptr;
  const std::string digits = line.substr(star + 1, 2);
  if (std::strtoul(digits.c_str(), &end, 16) != sum || end != digits.c_str() + 2) return false;
  fields->clear();
  size_t start = 1;
  for (size_t comma; (comma = line.find(',', start)) < star; start = comma + 1)
    fields->push_back(line.substr(start, comma - start));
  fields->push_back(line.substr(start, star - start));
  return true;
}

// gpsd's position for a sentence: the first TPV among the objects it made of
// the sentence that carries both lat and lon.
bool GpsdPosition(const std::vector<std::string>& objects, double* lat, double* lon) {
  for (const std::string& json : objects)
    if (json.find("\"class\":\"TPV\"") != std::string::npos && JsonNumber(json, "lat", lat) &&
        JsonNumber(json, "lon", lon))
      return true;
  return false;
}

double SignedDegrees(const GeoAngle& angle, char hemisphere) {
  const double degrees = angle.degrees + (angle.minutes + angle.fraction / 10000.0) / 60.0;
  return hemisphere == 'S' || hemisphere == 'W' ? -degrees : degrees;
}

// The hundredths that a time text carries: its first two decimals.
int32_t TextHundredths(const std::string& time) {
  int32_t value = 0;
  for (size_t i = 7; i < 9; ++i) {
    const bool digit = i < time.size() && time[i] >= '0' && time[i] <= '9';
    value = value * 10 + (digit ? time[i] - '0' : 0);
    if (!digit) {
      if (i == 7) value *= 10;
      break;
    }
  }
  return value;
}

int32_t TextInt(const std::string& field) { return static_cast<int32_t>(std::strtol(field.c_str(), nullptr, 10)); }

struct Counts {
  int positions = 0;
  int times = 0;
  int groups = 0;
};

// Field indexes of the time and the position in the three position sentences.
struct PositionLayout {
  const char* formatter;
  SentenceType type;
  size_t time, latitude;
};
constexpr PositionLayout POSITION_LAYOUTS[] = {
    {"GGA", SENTENCE_GGA, 1, 2},
    {"RMC", SENTENCE_RMC, 1, 3},
    {"GLL", SENTENCE_GLL, 5, 1},
};

void CheckPosition(const PositionLayout& layout, const std::vector<std::string>& fields, const void* record,
                   const std::vector<std::string>& objects, const std::string& legend, Counts* counts) {
  const UtcTime* time;
  const GeoAngle *latitude, *longitude;
  char latHemisphere, lonHemisphere;
  if (layout.type == SENTENCE_GGA) {
    const GgaRecord* r = static_cast<const GgaRecord*>(record);
    time = &r->time, latitude = &r->latitude, longitude = &r->longitude;
    latHemisphere = r->latHemisphere, lonHemisphere = r->lonHemisphere;
  } else if (layout.type == SENTENCE_RMC) {
    const RmcRecord* r = static_cast<const RmcRecord*>(record);
    time = &r->time, latitude = &r->latitude, longitude = &r->longitude;
    latHemisphere = r->latHemisphere, lonHemisphere = r->lonHemisphere;
  } else {
    const GllRecord* r = static_cast<const GllRecord*>(record);
    time = &r->time, latitude = &r->latitude, longitude = &r->longitude;
    latHemisphere = r->latHemisphere, lonHemisphere = r->lonHemisphere;
  }
  double lat, lon;
  if (GpsdPosition(objects, &lat, &lon)) {
    ++counts->positions;
    EXPECT_NEAR(SignedDegrees(*latitude, latHemisphere), lat, 1.7e-6) << legend;
    EXPECT_NEAR(SignedDegrees(*longitude, lonHemisphere), lon, 1.7e-6) << legend;
  }
  if (layout.time < fields.size() && fields[layout.time].size() > 6 && fields[layout.time][6] == '.') {
    ++counts->times;
    EXPECT_EQ(time->hundredths, TextHundredths(fields[layout.time])) << legend;
  }
}

// Each of the (at most four) groups of four fields after the first three
// whose azimuth is there fills the next slot.
void CheckSatellites(const std::vector<std::string>& fields, const GsvRecord* record, const std::string& legend,
                     Counts* counts) {
  int32_t slot = 0;
  for (size_t group = 4; group < 4 + 4 * 4 && group + 2 < fields.size(); group += 4) {
    if (fields[group + 2].empty()) continue;
    ++counts->groups;
    const GsvSatellite& s = record->satellite[slot];
    EXPECT_EQ(s.prn, TextInt(fields[group])) << legend << " group " << (group - 4) / 4;
    EXPECT_EQ(s.elevation, TextInt(fields[group + 1])) << legend << " group " << (group - 4) / 4;
    EXPECT_EQ(s.azimuth, TextInt(fields[group + 2])) << legend << " group " << (group - 4) / 4;
    const int32_t snr = group + 3 < fields.size() ? TextInt(fields[group + 3]) : 0;
    EXPECT_EQ(s.snr, snr) << legend << " group " << (group - 4) / 4;
    ++slot;
  }
  EXPECT_EQ(record->satelliteCount, slot) << legend;
}

TEST(capture_oracle_test, positions_times_and_satellites_agree_with_gpsd_and_the_text) {
  const std::vector<CorpusFile> decodings = ReadGpsdDecodings();
  ASSERT_EQ(decodings.size(), 74u) << "gpsd decodings not found in " << ORVO_CORPUS_DIR "/chk";
  Counts counts;
  for (const CorpusFile& decoding : decodings) {
    GpsContext* context = FreshContext();
    const std::vector<std::string> lines = Lines(decoding.bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
      std::vector<std::string> fields;
      if (!VerifiedFields(lines[i], &fields) || fields[0].size() < 5) continue;
      std::vector<std::string> objects;
      for (size_t j = i + 1; j < lines.size() && (lines[j].empty() || lines[j][0] != '$'); ++j)
        objects.push_back(lines[j]);
      gCallbackCalls.clear();
      FeedBytes(context, lines[i] + "\r\n");
      const std::string formatter = fields[0].substr(2, 3);
      const std::string legend = decoding.name + " line " + std::to_string(i + 1) + ": " + lines[i];
      for (const PositionLayout& layout : POSITION_LAYOUTS) {
        if (formatter != layout.formatter) continue;
        ASSERT_EQ(gCallbackCalls.size(), 1u) << legend;
        CheckPosition(layout, fields, gCallbackCalls[0].record, objects, legend, &counts);
      }
      if (formatter == "GSV") {
        ASSERT_EQ(gCallbackCalls.size(), 1u) << legend;
        CheckSatellites(fields, static_cast<const GsvRecord*>(gCallbackCalls[0].record), legend, &counts);
      }
    }
  }
  std::printf("positions that gpsd gives: %d, times with decimals: %d, satellite groups with an azimuth: %d\n",
              counts.positions, counts.times, counts.groups);
  // Every one of them is checked: an oracle that finds nothing proves nothing.
  EXPECT_EQ(counts.positions, 1475);
  EXPECT_EQ(counts.times, 3283);
  EXPECT_EQ(counts.groups, 17421);
}

// Every sentence the framer verifies in a stream, as text, fed byte by byte:
// ignored types too, which never reach the callback.
std::vector<std::string> VerifiedSentences(const std::string& bytes) {
  std::vector<std::string> sentences;
  GpsContext* context = FreshContext();
  uint32_t verified = 0;
  for (char byte : bytes) {
    GpsFeedByte(context, static_cast<unsigned char>(byte));
    GpsStats stats = {};
    GpsGetStats(context, &stats);
    if (stats.sentences + stats.ignored == verified) continue;
    verified = stats.sentences + stats.ignored;
    const std::string buffer(context->sentence, GPS_SENTENCE_SIZE);
    sentences.push_back(buffer.substr(0, buffer.find('*') + 3));
  }
  return sentences;
}

// Where the framer and gpsd read a capture's stream differently, and the
// counts they reach (framer, gpsd).
struct ReadDifferently {
  const char* capture;
  size_t framer, gpsd;
  const char* why;
};
constexpr ReadDifferently READ_DIFFERENTLY[] = {
    {"bundg_zeus_9.log", 4850, 4999, "gpsd takes 12-character sentences ($SDMTW,,C*1A); the framer needs 13"},
    {"hemi.log", 542, 753, "gpsd takes 12-character sentences ($GPHDT,,T*1B); the framer needs 13"},
    {"gp-320fw-2019-04-07-coldboot.log", 97, 91,
     "two sentences spliced on one line: gpsd drops the first, which has no line end"},
    {"gpsdf.log", 1455, 1404, "gpsd does not read the $IMGSA sentences"},
    {"isync.log", 134, 135,
     "a $PTNTA inserted into the middle of a GPGSV: the framer drops the GPGSV's first part, cut short"},
    {"quectelLC79D.log", 684, 682, "two sentences quoted in the header's comment lines, which gpsd skips"},
    {"rgm3800.log", 28, 24, "gpsd does not read the $LOG108 sentences"},
};

// The captures' own bytes, "$$" prefixes, line splices and all, against the
// list of sentences gpsd read from them.
TEST(capture_oracle_test, the_framer_verifies_the_sentences_gpsd_read_from_each_capture) {
  const std::vector<CorpusFile> captures = ReadCorpus();
  const std::vector<CorpusFile> decodings = ReadGpsdDecodings();
  ASSERT_EQ(captures.size(), decodings.size());
  size_t same = 0, sentences = 0;
  for (size_t i = 0; i < captures.size(); ++i) {
    ASSERT_EQ(captures[i].name + ".chk", decodings[i].name);
    std::vector<std::string> gpsd;
    for (std::string line : Lines(decodings[i].bytes)) {
      while (!line.empty() && line.back() == '\r') line.pop_back();  // one receiver ends lines CR CR LF
      if (!line.empty() && line[0] == '$') gpsd.push_back(line);
    }
    const std::vector<std::string> framer = VerifiedSentences(captures[i].bytes);
    const ReadDifferently* differently = nullptr;
    for (const ReadDifferently& d : READ_DIFFERENTLY)
      if (captures[i].name == d.capture) differently = &d;
    if (differently == nullptr) {
      EXPECT_EQ(framer, gpsd) << captures[i].name;
      ++same;
      sentences += framer.size();
    } else {
      EXPECT_EQ(framer.size(), differently->framer) << captures[i].name << ": " << differently->why;
      EXPECT_EQ(gpsd.size(), differently->gpsd) << captures[i].name << ": " << differently->why;
    }
  }
  std::printf("%zu captures framed as gpsd read them, %zu sentences text for text\n", same, sentences);
  EXPECT_EQ(same, captures.size() - sizeof READ_DIFFERENTLY / sizeof READ_DIFFERENTLY[0]);
}

}  // namespace
