// OrvoGPS receiver library: the receiver context, its sentence framer and the
// decoded records.  Portable: nothing here depends on Windows.
#ifndef ORVOGPS_NMEA_H
#define ORVOGPS_NMEA_H

#include <atomic>
#include <cstdint>

#include "binary_frame.h"
#include "navigation.h"

struct ComPort;     // the serial layer's port slot (comport/comport.h)
struct GpsContext;

// Sentence types, also the order of the records in GpsContext.
typedef int32_t SentenceType;
enum : int32_t {
  SENTENCE_GGA = 0,
  SENTENCE_GSA = 1,
  SENTENCE_GSV = 2,
  SENTENCE_RMC = 3,
  SENTENCE_GLL = 4,
  SENTENCE_VTG = 5,
  SENTENCE_TYPE_COUNT = 6
};

// Called on the reader thread after each decoded sentence with the context,
// the sentence type, the address of that type's record inside the context and
// 0.  The record is rewritten by the next sentence of its type: copy what you
// need before returning.  The result is not used.
typedef int32_t (*GpsCallback)(GpsContext* context, SentenceType type, void* record,
                               int32_t reserved);

// A framer state is a handler acting on the one context: (status, byte 0..255).
typedef int32_t (*FramerState)(int32_t status, int32_t byte);

// The framer keeps one sentence of up to 511 characters, '$' through the
// second checksum digit.
constexpr int32_t GPS_SENTENCE_SIZE = 512;

struct UtcTime {
  int32_t hours;
  int32_t minutes;
  int32_t seconds;
  int32_t hundredths;  // the first two decimals of the seconds: "19.5" gives 50, "19.799" 79
};

struct GeoAngle {
  int32_t degrees;
  int32_t minutes;
  int32_t fraction;  // ten-thousandths of a minute: ".038" gives 380, ".03812" 381
};

struct NmeaDate {
  int32_t day;
  int32_t month;
  int32_t year;  // two digits, as sent
};

struct GgaRecord {
  UtcTime time;
  GeoAngle latitude;
  char latHemisphere;
  GeoAngle longitude;
  char lonHemisphere;
  int32_t fixQuality;  // 0 means no fix
  int32_t satellitesUsed;
  float hdop;
  float altitude;
  char talker[3];  // the two characters after the '$' as sent ("GP", "GN", "PQ" ...) and a NUL
};

struct GsaRecord {
  char selectionMode;
  char fixMode;  // the digit as received: '1', '2' or '3'
  int32_t satellites[12];  // up to three digits: SBAS, QZSS and BeiDou numbers too
  float pdop;
  float hdop;
  float vdop;
  char talker[3];
  int32_t systemId;  // NMEA 4.10: field 18 (the last field of $PQGSA), 1 GPS ... 6 NavIC; GPS_UNKNOWN without one
};

struct GsvSatellite {
  int32_t prn;        // up to three digits
  int32_t elevation;  // degrees
  int32_t azimuth;    // degrees true
  int32_t snr;        // signal-to-noise ratio in dB-Hz; 0 when not tracked
};

struct GsvRecord {
  int32_t messageCount;
  int32_t messageNumber;
  int32_t satellitesInView;
  int32_t satelliteCount;  // groups of this message whose azimuth was stored, 0..4
  GsvSatellite satellite[4];
  char talker[3];
  int32_t signalId;  // NMEA 4.10: a hexadecimal digit after the groups, 0-15; GPS_UNKNOWN without one
};

struct RmcRecord {
  UtcTime time;
  char status;
  GeoAngle latitude;
  char latHemisphere;
  GeoAngle longitude;
  char lonHemisphere;
  float speedKnots;
  float courseTrue;
  NmeaDate date;
  float magneticVariation;
  char variationDirection;
  char modeIndicator;
  char talker[3];
};

struct GllRecord {
  GeoAngle latitude;
  char latHemisphere;
  GeoAngle longitude;
  char lonHemisphere;
  UtcTime time;
  char status;
  char modeIndicator;
  char talker[3];
};

struct VtgRecord {
  float courseTrue;
  int32_t courseTrueRef;  // letters are kept as their character codes
  float courseMagnetic;
  int32_t courseMagneticRef;
  float speedKnots;
  int32_t speedKnotsUnit;
  float speedKmh;
  int32_t speedKmhUnit;
  char modeIndicator;
  char talker[3];
};

// What the framer made of the stream since the last GpsContextInit: 32-bit
// counts that wrap.  When a receiver "does not work", these say whether bytes
// arrive at all (bytes), arrive at the wrong speed (bytes but no sentences)
// or arrive damaged (checksumErrors).
struct GpsStats {
  // Bytes fed while the context is active.  GpsFeedByte counts the bytes of
  // a sentence when the framer is done with it; GpsRxBytes counts every byte
  // of its block before it returns.
  uint32_t bytes;
  uint32_t sentences;       // verified, decoded and passed to the callback
  uint32_t ignored;         // verified, of a type that is not decoded
  uint32_t checksumErrors;  // dropped: the checksum did not match
  uint32_t tooShort;        // dropped: fewer than 13 characters
  uint32_t tooLong;         // abandoned when the 512th character came
  uint32_t cutShort;        // dropped: a '$' came before the sentence was whole
  uint32_t frames;          // binary frames (UBX, RTCM 3) whose checksum verified, skipped whole
};

// The same counts as the feeding thread keeps them.  That thread is their
// only writer; relaxed atomics let any other thread read them meanwhile.
struct GpsStatCounters {
  std::atomic<uint32_t> bytes;
  std::atomic<uint32_t> sentences;
  std::atomic<uint32_t> ignored;
  std::atomic<uint32_t> checksumErrors;
  std::atomic<uint32_t> tooShort;
  std::atomic<uint32_t> tooLong;
  std::atomic<uint32_t> cutShort;
  // Framer only: how many characters of the sentence being framed bytes
  // holds already.
  int32_t sentenceCounted;
  std::atomic<uint32_t> frames;
};

// What the framer made of a sentence it leaves (GpsSentenceCallback).
enum : int32_t {
  GPS_SENTENCE_VERIFIED = 0,        // the checksum matched: decoded or not, it goes on to the state
  GPS_SENTENCE_CHECKSUM_ERROR = 1,  // dropped: the checksum did not match
  GPS_SENTENCE_TOO_SHORT = 2,       // dropped: fewer than 13 characters
  GPS_SENTENCE_TOO_LONG = 3,        // abandoned: its first 512 characters
  GPS_SENTENCE_CUT_SHORT = 4,       // dropped: a '$' came before it was whole; the part received
};

// Called on the feeding thread for every sentence the framer leaves, with its
// characters as received from its '$' on (verified: through the second
// checksum digit, without the line end; not NUL-terminated) and the verdict.
// A verified sentence comes here before the navigation state, the epoch
// callback and the GpsCallback see it.  text is valid only during the call.
typedef void (*GpsSentenceCallback)(GpsContext* context, const char* text, int32_t length, int32_t verdict);

// Called by GpsRxBytes with each block as the serial layer delivered it,
// before any of it is framed.  bytes is valid only during the call.
typedef void (*GpsBytesCallback)(GpsContext* context, const unsigned char* bytes, int32_t count);

struct GpsContext {
  int32_t active;
  GpsCallback callback;
  ComPort* port;
  FramerState state;
  int32_t position;
  char sentence[GPS_SENTENCE_SIZE];
  char checksumChars[2];
  GgaRecord gga;
  GsaRecord gsa;
  GsvRecord gsv;
  RmcRecord rmc;
  GllRecord gll;
  VtgRecord vtg;
  GpsStatCounters stats;
  GpsNavigation navigation;  // the fix and the sky: read them with GpsGetFix and GpsGetSky
  std::atomic<GpsSentenceCallback> sentenceCallback;
  std::atomic<GpsBytesCallback> bytesCallback;
  // A binary frame candidate held while the framer waits between sentences,
  // and how many of its bytes the bytes count holds already.
  FrameScan frame;
  int32_t frameCounted;
};

// Clears the one context (its records, counts and navigation state, the
// epoch, sentence and bytes callbacks too), stores the callback and makes it active.  Returns the
// context's address, the same every time.
GpsContext* GpsContextInit(GpsCallback callback);

// Feeds one received byte (its low 8 bits) to the framer.  Returns 0 for a
// null or inactive context, else 1.
int32_t GpsFeedByte(GpsContext* context, int32_t byte);

// Copies the context's counts into stats; any thread may call it.  Returns 0,
// or 1 when either argument is null.
int32_t GpsGetStats(const GpsContext* context, GpsStats* stats);

// Sets the sentence callback or the bytes callback, null for none; any
// thread, at any time (a receiver's open clears them: set them after it).
// Return 0, or 1 for a null context.
int32_t GpsSetSentenceCallback(GpsContext* context, GpsSentenceCallback callback);
int32_t GpsSetBytesCallback(GpsContext* context, GpsBytesCallback callback);

#endif
