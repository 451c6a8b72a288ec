// How each ?WATCH changes what a client of the gpsd port asked to be sent
// (GpsdWatch: all false and "" on connect).  A field a ?WATCH={...} leaves
// out keeps its earlier value or takes its default, as gpsd's clients rely
// on:
//   enable                   true
//   json, nmea, raw          the earlier value
//   scaled, timing, split24,
//   pps                      false
//   device                   "" (every device)
#ifndef ORVOGPS_SERVER_WATCH_POLICY_H
#define ORVOGPS_SERVER_WATCH_POLICY_H

#include <string>
#include <string_view>

#include "server/gpsd_json.h"

// Applies the object of a ?WATCH={...} to policy.  Returns "" or, for an
// object that does not read, what is wrong (policy is then left as it was).
std::string ApplyWatch(std::string_view object, GpsdWatch* policy);

// Whether a watcher with policy is sent the JSON objects, or the sentences
// as received, of the device at path.
bool WatchesJson(const GpsdWatch& policy, std::string_view path);
bool WatchesNmea(const GpsdWatch& policy, std::string_view path);

#endif
