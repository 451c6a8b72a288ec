#include "gpsd_json.h"

#include "json_writer.h"

namespace {

// "2022-07-31T12:02:13.000Z", quotes included.
void AppendIsoTime(std::string* out, int32_t year, int32_t month, int32_t day, int32_t hours, int32_t minutes,
                   int32_t seconds, int32_t milliseconds) {
  char text[JSON_TIME_SIZE];
  out->push_back('"');
  out->append(text, JsonFormatIsoTime(text, year, month, day, hours, minutes, seconds, milliseconds));
  out->push_back('"');
}

void AppendUnixTime(std::string* out, int64_t unixMs) {
  const int64_t ms = ((unixMs % 86400000) + 86400000) % 86400000;
  const int64_t days = (unixMs - ms) / 86400000;
  // The civil date of a day count (proleptic Gregorian, days since 1970-01-01).
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2);
  AppendIsoTime(out, static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day),
                static_cast<int32_t>(ms / 3600000), static_cast<int32_t>(ms / 60000 % 60),
                static_cast<int32_t>(ms / 1000 % 60), static_cast<int32_t>(ms % 1000));
}

bool Known(int32_t value) { return value != GPS_UNKNOWN; }

void Tpv(std::string* out, std::string_view device, const GpsFix& fix) {
  JsonObject tpv(out, "TPV");
  tpv.String("device", device);
  const int32_t status = GpsdStatus(fix.quality);
  if (status >= 2) tpv.Int("status", status);
  const int32_t mode = Known(fix.mode) ? fix.mode : 0;
  tpv.Int("mode", mode);
  if (Known(fix.year) && Known(fix.hours)) {
    AppendIsoTime(tpv.Key("time"), fix.year, fix.month, fix.day, fix.hours, fix.minutes, fix.seconds,
                  fix.milliseconds);
  }
  if (mode >= GPS_MODE_2D) {
    tpv.Fixed("lat", fix.latitude, 9);
    tpv.Fixed("lon", fix.longitude, 9);
    tpv.Fixed("altHAE", fix.altitudeHae, 4);
    tpv.Fixed("altMSL", fix.altitudeMsl, 4);
    tpv.Fixed("alt", fix.altitudeMsl, 4);
    tpv.Fixed("track", fix.track, 4);
    tpv.Fixed("speed", fix.speed, 3);
    tpv.Fixed("geoidSep", fix.geoidSeparation, 3);
  }
  tpv.End();
}

void Satellite(std::string* out, const GpsSignal& signal) {
  JsonObject satellite(out);
  satellite.Int("PRN", GpsdPrn(signal.constellation, signal.svid));
  satellite.Fixed("el", signal.elevation, 1);
  satellite.Fixed("az", signal.azimuth, 1);
  satellite.Fixed("ss", signal.snr, 1);
  satellite.Bool("used", signal.used != 0);
  satellite.Int("gnssid", signal.constellation);
  satellite.Int("svid", signal.svid);
  const int32_t sigid = GpsdSignalId(signal.constellation, signal.signalId);
  if (Known(sigid) && sigid != 0) satellite.Int("sigid", sigid);
  satellite.End();
}

void Sky(std::string* out, std::string_view device, const GpsFix& fix, const GpsSky& sky) {
  JsonObject object(out, "SKY");
  object.String("device", device);
  object.Fixed("vdop", fix.vdop, 2);
  object.Fixed("hdop", fix.hdop, 2);
  object.Fixed("pdop", fix.pdop, 2);
  object.Int("nSat", sky.signalCount);
  if (sky.signalCount > 0) object.Int("uSat", sky.usedCount);
  else object.Int("uSat", Known(fix.satellitesUsed) ? fix.satellitesUsed : 0);
  if (sky.signalCount > 0) {
    std::string* list = object.Key("satellites");
    list->push_back('[');
    for (int32_t i = 0; i < sky.signalCount; ++i) {
      if (i > 0) list->push_back(',');
      Satellite(list, sky.signals[i]);
    }
    list->push_back(']');
  }
  object.End();
}

void Device(std::string* out, const GpsdDevice& device) {
  JsonObject object(out, "DEVICE");
  object.String("path", device.path);
  if (!device.present) {
    object.Int("activated", 0);
    object.End();
    return;
  }
  object.String("driver", "NMEA0183");
  AppendUnixTime(object.Key("activated"), device.activatedMs);
  object.Int("flags", 1);
  if (device.bps != 0) {
    object.Int("native", 0);
    object.Int("bps", device.bps);
    object.String("parity", "N");
    object.Int("stopbits", 1);
    object.Fixed("cycle", device.cycleSeconds, 2);
  }
  object.End();
}

void EndLine(std::string* out) { out->append("\r\n"); }

}  // namespace

int32_t GpsdStatus(int32_t quality) {
  // Indexed by GGA's quality: 0 none, 1 GPS, 2 DGPS, 3 PPS, 4 RTK fixed,
  // 5 RTK float, 6 estimated, 7 manual, 8 simulated.
  static const int32_t STATUS[] = {0, 0, 2, 9, 3, 4, 5, 7, 8};
  if (quality < 0 || quality >= static_cast<int32_t>(sizeof STATUS / sizeof STATUS[0])) return 0;
  return STATUS[quality];
}

int32_t GpsdPrn(int32_t constellation, int32_t svid) {
  switch (constellation) {
    case CONSTELLATION_GPS: return svid;
    case CONSTELLATION_SBAS: return svid >= 120 && svid <= 151 ? svid - 87 : svid;
    case CONSTELLATION_GALILEO: return 300 + svid;
    case CONSTELLATION_BEIDOU: return 400 + svid;
    case CONSTELLATION_QZSS: return 192 + svid;
    case CONSTELLATION_GLONASS: return 64 + svid;
    case CONSTELLATION_NAVIC: return 800 + svid;
    default: return 0;
  }
}

int32_t GpsdSignalId(int32_t constellation, int32_t nmeaSignalId) {
  constexpr int32_t U = GPS_UNKNOWN;
  // Per constellation, indexed by the NMEA signal id 0-15 (0: not given).
  struct SignalRow {
    int32_t constellation;
    int32_t sigid[16];
  };
  static const SignalRow ROWS[] = {
      // L1 C/A, L1 P(Y), L1 M, L2 P(Y), L2C-M, L2C-L, L5-I, L5-Q
      {CONSTELLATION_GPS, {U, 0, U, U, U, 4, 3, 6, 7, U, U, U, U, U, U, U}},
      // L1 C/A
      {CONSTELLATION_SBAS, {U, 0, U, U, U, U, U, U, U, U, U, U, U, U, U, U}},
      // E5a, E5b, E5a+b, E6-A, E6-BC, L1-A, L1-BC
      {CONSTELLATION_GALILEO, {U, 3, 5, U, 10, 8, U, 0, U, U, U, U, U, U, U, U}},
      // B1I, B1Q, B1C, B1A, B2-a, B2-b, B2a+b, B3I, B3Q, B3A, B2I, B2Q
      {CONSTELLATION_BEIDOU, {U, 0, U, 5, U, 7, U, U, 4, U, U, 2, U, U, U, U}},
      // L1 C/A, L1C-D, L1C-P, LIS, L2C-M, L2C-L, L5-I, L5-Q
      {CONSTELLATION_QZSS, {U, 0, U, U, 1, 4, 5, 8, 9, U, U, U, U, U, U, U}},
      // G1 C/A, G1 P, G2 C/A
      {CONSTELLATION_GLONASS, {U, 0, U, 2, U, U, U, U, U, U, U, U, U, U, U, U}},
      // L5-SPS
      {CONSTELLATION_NAVIC, {U, 0, U, U, U, U, U, U, U, U, U, U, U, U, U, U}},
  };
  if (nmeaSignalId < 0 || nmeaSignalId > 15) return U;
  for (const SignalRow& row : ROWS)
    if (row.constellation == constellation) return row.sigid[nmeaSignalId];
  return U;
}

void GpsdAppendVersion(std::string* out, std::string_view release, std::string_view rev) {
  JsonObject version(out, "VERSION");
  version.String("release", release);
  version.String("rev", rev);
  version.Int("proto_major", GPSD_PROTO_MAJOR);
  version.Int("proto_minor", GPSD_PROTO_MINOR);
  version.End();
  EndLine(out);
}

void GpsdAppendTpv(std::string* out, std::string_view device, const GpsFix& fix) {
  Tpv(out, device, fix);
  EndLine(out);
}

void GpsdAppendSky(std::string* out, std::string_view device, const GpsFix& fix, const GpsSky& sky) {
  Sky(out, device, fix, sky);
  EndLine(out);
}

void GpsdAppendDevice(std::string* out, const GpsdDevice& device) {
  Device(out, device);
  EndLine(out);
}

void GpsdAppendDevices(std::string* out, const GpsdDevice* devices, size_t count) {
  JsonObject object(out, "DEVICES");
  std::string* list = object.Key("devices");
  list->push_back('[');
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) list->push_back(',');
    Device(list, devices[i]);
  }
  list->push_back(']');
  object.End();
  EndLine(out);
}

void GpsdAppendWatch(std::string* out, const GpsdWatch& watch) {
  JsonObject object(out, "WATCH");
  object.Bool("enable", watch.enable);
  object.Bool("json", watch.json);
  object.Bool("nmea", watch.nmea);
  object.Int("raw", watch.raw);
  object.Bool("scaled", watch.scaled);
  object.Bool("timing", watch.timing);
  object.Bool("split24", watch.split24);
  object.Bool("pps", watch.pps);
  if (!watch.device.empty()) object.String("device", watch.device);
  object.End();
  EndLine(out);
}

void GpsdAppendPoll(std::string* out, int64_t timeMs, int32_t active, std::string_view device, const GpsFix* fix,
                    const GpsSky* sky) {
  JsonObject poll(out, "POLL");
  AppendUnixTime(poll.Key("time"), timeMs);
  poll.Int("active", active);
  std::string* list = poll.Key("tpv");
  list->push_back('[');
  if (fix != nullptr) Tpv(list, device, *fix);
  list->append("],\"gst\":[],\"sky\":[");
  if (fix != nullptr && sky != nullptr) Sky(list, device, *fix, *sky);
  list->push_back(']');
  poll.End();
  EndLine(out);
}

void GpsdAppendError(std::string* out, std::string_view message) {
  JsonObject error(out, "ERROR");
  error.String("message", message);
  error.End();
  EndLine(out);
}
