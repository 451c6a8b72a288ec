// The objects of gpsd's client protocol (3.14, as gpsd 3.22 writes them),
// made from the library's public types.  Each function appends one whole
// line to out: one compact object, "class" first, ended by CR LF, the line
// end that gpsd sends and python3-gps requires.  Nothing is allocated but
// what out grows by.  Values the receiver did not send are left out, never
// written as 0 or null.  Portable.
#ifndef ORVOGPS_SERVER_GPSD_JSON_H
#define ORVOGPS_SERVER_GPSD_JSON_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nmea/navigation.h"

// The protocol version spoken.
constexpr int32_t GPSD_PROTO_MAJOR = 3;
constexpr int32_t GPSD_PROTO_MINOR = 14;

// {"class":"VERSION","release":"1.0","rev":"1.0","proto_major":3,"proto_minor":14}
void GpsdAppendVersion(std::string* out, std::string_view release, std::string_view rev);

// {"class":"TPV","device":"COM3","status":2,"mode":3,"time":"2022-07-31T12:02:13.000Z",
//  "lat":59.950103333,"lon":11.010715000,"altHAE":208.4000,"altMSL":168.9000,"alt":168.9000,
//  "track":0.0000,"speed":0.000,"geoidSep":39.500}
// mode 0 while unknown; time when the date and the time of day are known;
// status from GGA's quality (GpsdStatus) when 2 or more; the position, the
// altitudes, track, speed and geoid separation only with a fix (mode 2 or
// 3), each when known.  alt is altMSL again (older clients read it).
void GpsdAppendTpv(std::string* out, std::string_view device, const GpsFix& fix);

// {"class":"SKY","device":"COM3","vdop":1.00,"hdop":1.30,"pdop":1.50,"nSat":18,"uSat":11,
//  "satellites":[{"PRN":85,"el":85.0,"az":247.0,"ss":32.0,"used":true,"gnssid":6,"svid":21,
//  "sigid":2},...]}
// DOPs when known; nSat and uSat always (without signals uSat is the
// receiver's own count, when it sent one); satellites left out when the sky
// is empty; el, az and ss each when known, sigid when known and not 0.
void GpsdAppendSky(std::string* out, std::string_view device, const GpsFix& fix, const GpsSky& sky);

// gpsd's status for a GGA quality: 2 differential, 3 RTK fixed, 4 RTK float,
// 5 dead reckoning, 7 manual (time only), 8 simulated, 9 PPS; 0 for the rest
// (no fix, a plain fix, unknown), which the TPV leaves out.
int32_t GpsdStatus(int32_t quality);

// gpsd's PRN for an NMEA receiver's satellite: GPS 1-32, SBAS 33-64 (svid
// 120-151; later ones as their svid), GLONASS 65-96, QZSS 193-202, Galileo
// 301-336, BeiDou 401-463, NavIC 801-.  0 for a constellation it has no
// number for.
int32_t GpsdPrn(int32_t constellation, int32_t svid);

// A signal's id as gpsd numbers them (u-blox's sigId: 0 for each
// constellation's L1/E1/B1I civil signal) for the NMEA signal id the receiver
// sent; GPS_UNKNOWN when the NMEA id is unknown or has no such number.
int32_t GpsdSignalId(int32_t constellation, int32_t nmeaSignalId);

// A device as DEVICE objects and DEVICES lists show it.
struct GpsdDevice {
  std::string_view path;   // the Windows name: "COM3"
  bool present;            // false: the device went away ({"path":...,"activated":0})
  int64_t activatedMs;     // when its data last came, milliseconds since 1970-01-01 UTC
  uint32_t bps;            // the line's speed; 0 leaves out the serial fields (not yet known)
  double cycleSeconds;     // the measured time between epochs; NaN leaves it out
};

// {"class":"DEVICE","path":"COM3","driver":"NMEA0183","activated":"2024-06-09T00:06:55.000Z",
//  "flags":1,"native":0,"bps":4800,"parity":"N","stopbits":1,"cycle":1.00}
void GpsdAppendDevice(std::string* out, const GpsdDevice& device);

// {"class":"DEVICES","devices":[DEVICE,...]}: "devices":[] for none.
void GpsdAppendDevices(std::string* out, const GpsdDevice* devices, size_t count);

// What a client asked for with ?WATCH (the echo shows it back).
struct GpsdWatch {
  bool enable;
  bool json;
  bool nmea;
  int32_t raw;
  bool scaled;
  bool timing;
  bool split24;
  bool pps;
  std::string device;  // empty: every device
};

// {"class":"WATCH","enable":true,"json":true,"nmea":false,"raw":0,"scaled":false,
//  "timing":false,"split24":false,"pps":false}, then ,"device":"..." when one is set.
void GpsdAppendWatch(std::string* out, const GpsdWatch& watch);

// {"class":"POLL","time":"...","active":1,"tpv":[TPV],"gst":[],"sky":[SKY]}: timeMs is
// now (milliseconds since 1970-01-01 UTC); fix and sky the latest, both null
// (empty lists) before the first epoch.
void GpsdAppendPoll(std::string* out, int64_t timeMs, int32_t active, std::string_view device, const GpsFix* fix,
                    const GpsSky* sky);

// {"class":"ERROR","message":"Unrecognized request '?FOO'"}: message escaped
// as a JSON string, whatever bytes it holds.
void GpsdAppendError(std::string* out, std::string_view message);

#endif
