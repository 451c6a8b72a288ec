// Internal interfaces of the receiver library: the one context, the framer's
// state handlers, checksum helpers, dispatch and the six sentence parsers.
#ifndef ORVOGPS_NMEA_INTERNAL_H
#define ORVOGPS_NMEA_INTERNAL_H

#include <atomic>
#include <cstdint>

#include "nmea/nmea.h"
#include "nmea/sentence_fields.h"

// The library serves one receiver, so there is exactly one context.
extern GpsContext gGpsContext;

// Adds n to a count of the context.  The feeding thread is the only writer, so
// a relaxed load and store do, without a locked read-modify-write.
inline void CountUp(std::atomic<uint32_t>& count, uint32_t n = 1) {
  count.store(count.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
}

// Counts the characters of the sentence being framed that are not counted
// yet, so that the bytes count is whole at the end of a block.
void GpsCountFramingBytes(GpsContext* context);

// True on a thread inside GpsRxBytes: in a callback of the receiver.
bool GpsFeedingOnThisThread();

// Drops the sentence being framed, if any: the framer waits for '$'.  Used
// when the line's speed changes, since what came before is garbage now.
void GpsRestartFramer(GpsContext* context);

// Sentences and binary frames that verified since the last GpsContextInit,
// decoded or not: evidence of the line's speed.
uint32_t GpsVerifiedCount(const GpsContext* context);
// Bytes held in a binary frame candidate: neither verified nor garbage yet.
uint32_t GpsHeldCount(const GpsContext* context);

int32_t FramerWaitStart(int32_t status, int32_t byte);
int32_t FramerBody(int32_t status, int32_t byte);
int32_t FramerChecksum1(int32_t status, int32_t byte);
int32_t FramerChecksum2(int32_t status, int32_t byte);
// Holds a UBX or RTCM 3 frame candidate that began while waiting for '$'.
int32_t FramerFrame(int32_t status, int32_t byte);

// 8-bit exclusive-or of count characters; 0 for a count of 0 or less.
uint8_t NmeaChecksum(const char* text, int32_t count);

// The value of two hexadecimal digits in either case, or -1 when either
// character is not one: a damaged checksum never verifies.
int32_t HexPairToByte(const char* pair);

// Stores the type and returns 1 when the three characters name a supported
// sentence type; returns 0 and stores nothing otherwise.
int32_t LookupSentenceType(const char* formatter, SentenceType* type);

// Decodes a verified sentence lying in the context's buffer and calls the
// callback.  Returns 0 for an unsupported type, else the callback's result.
int32_t GpsDispatchSentence(const char* sentence);

// The record's copy of the talker, the two characters after the '$'.
inline void CopyTalker(const char* sentence, char* talker) {
  talker[0] = sentence[1];
  talker[1] = sentence[2];
  talker[2] = '\0';
}

// Each parser clears its record in the context, fills it from the sentence,
// split at its separators (SplitSentence), and returns it.  The sentence
// starts with its '$' at the beginning of a buffer of GPS_SENTENCE_SIZE
// characters: no parser reads beyond that buffer.
GgaRecord* GpsParseGGA(const SentenceFields& fields);
// The GSA's NMEA 4.10 system id and the GSV's signal id come from the
// navigation state, which has read them already.
GsaRecord* GpsParseGSA(const SentenceFields& fields, int32_t systemId);
GsvRecord* GpsParseGSV(const SentenceFields& fields, int32_t signalId);
RmcRecord* GpsParseRMC(const SentenceFields& fields);
GllRecord* GpsParseGLL(const SentenceFields& fields);
VtgRecord* GpsParseVTG(const SentenceFields& fields);

#endif
