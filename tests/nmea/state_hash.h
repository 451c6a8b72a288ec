// The navigation state as published after each verified sentence, and a
// hash over its values (not over how a tool writes them).
#ifndef ORVOGPS_TESTS_NMEA_STATE_HASH_H
#define ORVOGPS_TESTS_NMEA_STATE_HASH_H

#include <cstdint>
#include <cstring>
#include <string>

#include "nmea/nmea.h"

// FNV-1a over values, field by field (no padding bytes); every NaN alike.
struct Hash {
  uint64_t value = 14695981039346656037u;
  template <typename T>
  void Add(T field) {
    if (field != field) field = T(-12345);
    unsigned char bytes[sizeof field];
    std::memcpy(bytes, &field, sizeof field);
    for (unsigned char byte : bytes) value = (value ^ byte) * 1099511628211u;
  }
};

// The fix's values up to its DOPs; values added after them are checked on
// their own.
inline void AddFix(Hash* h, const GpsFix& f) {
  for (int32_t v : {f.year, f.month, f.day, f.hours, f.minutes, f.seconds, f.milliseconds, f.mode, f.quality,
                    f.satellitesUsed, f.usedSetSize})
    h->Add(v);
  for (double v : {f.latitude, f.longitude, f.altitudeMsl, f.geoidSeparation, f.altitudeHae, f.speed, f.track,
                   f.pdop, f.hdop, f.vdop})
    h->Add(v);
}

inline void AddSky(Hash* h, const GpsSky& sky) {
  h->Add(sky.signalCount);
  h->Add(sky.usedCount);
  h->Add(sky.notShown);
  for (int32_t i = 0; i < sky.signalCount && i < GPS_SKY_SIZE; ++i) {
    const GpsSignal& s = sky.signals[i];
    for (int32_t v : {s.constellation, s.svid, s.signalId, s.used}) h->Add(v);
    for (float v : {s.elevation, s.azimuth, s.snr}) h->Add(v);
  }
}

inline uint64_t HashFix(const GpsFix& fix) {
  Hash h;
  AddFix(&h, fix);
  return h.value;
}

inline uint64_t HashSky(const GpsSky& sky) {
  Hash h;
  AddSky(&h, sky);
  return h.value;
}

// Feeds bytes to a fresh context (no callback) byte by byte and calls
// seen(fix, sky) with the published state after the init and after each
// verified sentence, the only times the state changes.
template <typename Seen>
void EachPublishedState(const std::string& bytes, Seen seen) {
  static GpsFix fix;
  static GpsSky sky;
  GpsContext* context = GpsContextInit(nullptr);
  uint32_t verified = 0;
  for (size_t i = 0; i <= bytes.size(); ++i) {
    if (i > 0) {
      GpsFeedByte(context, static_cast<unsigned char>(bytes[i - 1]));
      GpsStats stats = {};
      GpsGetStats(context, &stats);
      if (stats.sentences + stats.ignored == verified) continue;
      verified = stats.sentences + stats.ignored;
    }
    GpsGetFix(context, &fix);
    GpsGetSky(context, &sky);
    seen(fix, sky);
  }
}

#endif
