// The navigation state: each verified sentence read by its rules, what it
// changed published for readers on other threads, and the end of each epoch
// told to the application.
#include <cstddef>
#include <cstring>
#include <thread>

#include "nmea/compiler_support.h"
#include "nmea/field_walk.h"
#include "nmea/navigation_internal.h"
#include "nmea/nmea_internal.h"

namespace {

// Three characters as one number, as the sentence table of dispatch keys them.
constexpr uint32_t TypeKey(const char* type) {
  return static_cast<uint32_t>(static_cast<unsigned char>(type[0])) |
         static_cast<uint32_t>(static_cast<unsigned char>(type[1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(type[2])) << 16;
}

struct KindRow {
  uint32_t key;
  SentenceKind kind;
};

// The most frequent first: the table is searched in its order.
constexpr KindRow KIND_TABLE[] = {
    {TypeKey("GSV"), KIND_GSV},  // satellites in view
    {TypeKey("GSA"), KIND_GSA},  // mode, satellites used, DOPs
    {TypeKey("GGA"), KIND_GGA},  // time, position, quality, satellites used, HDOP, altitude, geoid
    {TypeKey("RMC"), KIND_RMC},  // time, status, position, speed, track, date
    {TypeKey("GLL"), KIND_GLL},  // position, time, status
    {TypeKey("VTG"), KIND_VTG},  // track and speed
    {TypeKey("GNS"), KIND_GNS},  // the same as GGA for several constellations, a mode letter each
    {TypeKey("ZDA"), KIND_ZDA},  // time and date
    {TypeKey("GST"), KIND_GST},  // the receiver's error estimate
    {TypeKey("HDT"), KIND_HDT},  // true heading
    {TypeKey("THS"), KIND_THS},  // true heading and its mode
};

// Other $P addresses are proprietary and read by nothing.
constexpr char QUECTEL_TALKER[] = "PQ";

// The address: up to seven characters after the '$', as one number of
// their bytes, and where the first separator lies (8 for none among them).
struct Address {
  uint64_t characters;
  int32_t length;
};

Address AddressOf(const char* sentence) {
  uint64_t word;
  std::memcpy(&word, sentence + 1, sizeof word);
  const uint64_t separators = SeparatorBits(sentence + 1);
  if (separators == 0) return {word & 0x00FFFFFFFFFFFFFFu, 8};
  const int32_t length = CountTrailingZeros64(separators) / 8;
  return {word & ((uint64_t{1} << (8 * length)) - 1), length};
}

// Identifies a sentence for learning which one ends a receiver's cycle: its
// address, and for GSV whether it ends its group and its signal id, for GSA
// its system id (receivers send several of each per cycle).  The top bit is
// set in every key, so that 0 is none.
uint64_t SentenceKey(const Address& address, const SentenceFields& fields, SentenceKind kind,
                     const SentenceIds& ids) {
  uint64_t detail = 0;
  if (kind == KIND_GSV) {
    const bool lastPart = ReadCount(FieldAt(fields, 1), 2) == ReadCount(FieldAt(fields, 2), 2);
    detail = (lastPart ? 0x20 : 0) | static_cast<uint64_t>(ids.signalId + 1);
  } else if (kind == KIND_GSA) {
    detail = static_cast<uint64_t>(ids.systemId + 1);
  }
  return uint64_t{1} << 63 | detail << 56 | (address.characters & 0x00FFFFFFFFFFFFFFu);
}

// The kind of a sentence from its address: two characters of talker, three
// of type.  Of the proprietary $P addresses only Quectel's $PQGSV and $PQGSA
// are read (*quectel: their last field is the system id).
SentenceKind KindOfAddress(const char* sentence, const Address& address, bool* quectel) {
  *quectel = false;
  if (address.length != 5) return KIND_OTHER;
  const uint32_t key = TypeKey(sentence + 3);
  SentenceKind kind = KIND_OTHER;
  for (const KindRow& row : KIND_TABLE) {
    if (row.key == key) {
      kind = row.kind;
      break;
    }
  }
  if (sentence[1] == 'P') {
    *quectel = sentence[2] == QUECTEL_TALKER[1] && (kind == KIND_GSV || kind == KIND_GSA);
    if (!*quectel) return KIND_OTHER;
  }
  return kind;
}

// The feeding thread makes the sequence odd, writes the words (and how many
// there are, where readers need to know), and makes it even again.
template <size_t N>
ORVO_ALWAYS_INLINE void PublishWords(std::atomic<uint32_t>& sequence, std::atomic<uint64_t> (&words)[N],
                  std::atomic<uint32_t>* wordCount, const void* record, size_t bytes) {
  const uint32_t start = sequence.load(std::memory_order_relaxed);
  sequence.store(start + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  if (wordCount != nullptr) wordCount->store(static_cast<uint32_t>((bytes + 7) / 8), std::memory_order_relaxed);
  const unsigned char* from = static_cast<const unsigned char*>(record);
  const size_t whole = bytes / 8;
  for (size_t i = 0; i < whole; ++i) {
    uint64_t word;
    std::memcpy(&word, from + i * 8, sizeof word);
    words[i].store(word, std::memory_order_relaxed);
  }
  if (bytes % 8 != 0) {
    uint64_t word = 0;
    std::memcpy(&word, from + whole * 8, bytes % 8);
    words[whole].store(word, std::memory_order_relaxed);
  }
  sequence.store(start + 2, std::memory_order_release);
}

void PublishFix(GpsNavigation* navigation) {
  GpsPublishedFix& published = navigation->publishedFix;
  PublishWords(published.sequence, published.words, nullptr, &navigation->fix, sizeof navigation->fix);
}

// Only the signals in the sky: a cycle of 40 of them copies 1 KB, not 5.
void PublishSky(GpsNavigation* navigation) {
  GpsPublishedSky& published = navigation->publishedSky;
  const size_t bytes = offsetof(GpsSky, signals) + sizeof(GpsSignal) * navigation->sky.signalCount;
  PublishWords(published.sequence, published.words, &published.wordCount, &navigation->sky, bytes);
}

// A reader starts over while the feeding thread writes; after many tries it
// lets that thread run instead of spinning against it.
constexpr int32_t TRIES_BEFORE_YIELD = 64;

// Copies count words (a count read by wordCount, bounded by N) written
// between two equal even sequence values.  Returns the words copied.
template <size_t N>
size_t ReadWords(const std::atomic<uint32_t>& sequence, const std::atomic<uint64_t> (&words)[N],
                 const std::atomic<uint32_t>* wordCount, uint64_t* out) {
  for (int32_t tries = 1;; ++tries) {
    const uint32_t before = sequence.load(std::memory_order_acquire);
    if ((before & 1) == 0) {
      size_t count = N;
      if (wordCount != nullptr) {
        count = wordCount->load(std::memory_order_relaxed);
        if (count > N) count = N;
      }
      for (size_t i = 0; i < count; ++i) out[i] = words[i].load(std::memory_order_relaxed);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (sequence.load(std::memory_order_relaxed) == before) return count;
    }
    if (tries >= TRIES_BEFORE_YIELD) std::this_thread::yield();
  }
}

void ReportEpoch(GpsNavigation* navigation) {
  navigation->epochReported = 1;
  const GpsEpochCallback callback = navigation->epochCallback.load(std::memory_order_acquire);
  if (callback != nullptr) callback(&gGpsContext, &navigation->fix, &navigation->sky);
}

// A new time of day: the epoch before it is complete, if its end was not
// seen, and the sentence before this one is the one that ends a cycle.
void BeginEpoch(GpsNavigation* navigation, int32_t timeOfDay) {
  if (navigation->timeOfDay >= 0) {
    if (!navigation->epochReported) ReportEpoch(navigation);
    navigation->endKey = navigation->previousKey;
  }
  navigation->epochReported = 0;
  StartEpoch(navigation, timeOfDay);
}

uint32_t ReadKind(GpsNavigation* navigation, SentenceKind kind, const SentenceFields& fields, int32_t systemIdField,
                  bool newRun, SentenceIds* ids) {
  switch (kind) {
    case KIND_GGA: return ReadGga(navigation, fields);
    case KIND_GNS: return ReadGns(navigation, fields);
    case KIND_RMC: return ReadRmc(navigation, fields);
    case KIND_GLL: return ReadGll(navigation, fields);
    case KIND_ZDA: return ReadZda(navigation, fields);
    case KIND_VTG: return ReadVtg(navigation, fields);
    case KIND_GST: return ReadGst(navigation, fields);
    case KIND_HDT: return ReadHeading(navigation, fields, false);
    case KIND_THS: return ReadHeading(navigation, fields, true);
    case KIND_GSA: {
      ids->systemId = GsaSystemId(fields, systemIdField);
      const int32_t dopField = GsaDopField(fields, systemIdField);
      return ReadGsaFix(navigation, fields, dopField) |
             ReadGsaUsed(navigation, fields, ids->systemId, dopField, newRun);
    }
    case KIND_GSV: {
      const int32_t lastField = systemIdField > 0 ? systemIdField - 1 : fields.count - 1;
      ids->signalId = GsvSignalId(fields, lastField);
      return ReadGsv(navigation, fields, systemIdField, ids->signalId, newRun);
    }
    case KIND_OTHER: break;
  }
  return 0;
}

}  // namespace

void GpsNavigationUpdate(const char* sentence, SentenceIds* ids, SentenceFields* split) {
  GpsNavigation* navigation = &gGpsContext.navigation;
  ids->signalId = GPS_UNKNOWN;
  ids->systemId = GPS_UNKNOWN;
  const Address address = AddressOf(sentence);
  bool quectel;
  SentenceKind kind = KindOfAddress(sentence, address, &quectel);
  SentenceFields& fields = *split;
  fields.sentence = sentence;
  fields.count = -1;
  int32_t systemIdField = 0;
  // Only the sentences the state reads are cut into fields.
  if (kind != KIND_OTHER && (!SplitSentence(sentence, &fields) || (quectel && fields.count < 3))) kind = KIND_OTHER;
  if (kind != KIND_OTHER && quectel) systemIdField = fields.count - 1;
  const bool newRun = kind != navigation->previousKind;
  navigation->previousKind = kind;

  uint32_t changed = 0;
  const int32_t timeOfDay = SentenceTimeOfDay(kind, fields);
  if (timeOfDay >= 0 && timeOfDay != navigation->timeOfDay) {
    BeginEpoch(navigation, timeOfDay);
    changed = CHANGED_FIX;
  }
  changed |= ReadKind(navigation, kind, fields, systemIdField, newRun, ids);
  if (changed & CHANGED_FIX) PublishFix(navigation);
  if (changed & CHANGED_SKY) PublishSky(navigation);

  const uint64_t key = SentenceKey(address, fields, kind, *ids);
  if (key == navigation->endKey && navigation->timeOfDay >= 0 && !navigation->epochReported) ReportEpoch(navigation);
  navigation->previousKey = key;
}

void GpsNavigationReset(GpsNavigation* navigation) {
  GpsNavigationResetFix(navigation);
  GpsNavigationResetSky(navigation);
  navigation->epochCallback.store(nullptr, std::memory_order_release);
  navigation->epochReported = 0;
  navigation->previousKey = 0;
  navigation->endKey = 0;
  navigation->previousKind = KIND_OTHER;
  PublishFix(navigation);
  PublishSky(navigation);
}

int32_t GpsGetFix(const GpsContext* context, GpsFix* fix) {
  if (context == nullptr || fix == nullptr) return 1;
  const GpsPublishedFix& published = context->navigation.publishedFix;
  uint64_t words[GPS_FIX_WORDS];
  ReadWords(published.sequence, published.words, nullptr, words);
  std::memcpy(static_cast<void*>(fix), words, sizeof *fix);
  return 0;
}

int32_t GpsGetSky(const GpsContext* context, GpsSky* sky) {
  if (context == nullptr || sky == nullptr) return 1;
  const GpsPublishedSky& published = context->navigation.publishedSky;
  uint64_t words[GPS_SKY_WORDS];
  const size_t count = ReadWords(published.sequence, published.words, &published.wordCount, words);
  const size_t bytes = count * 8 < sizeof *sky ? count * 8 : sizeof *sky;
  std::memcpy(static_cast<void*>(sky), words, bytes);
  return 0;
}

int32_t GpsSetEpochCallback(GpsContext* context, GpsEpochCallback callback) {
  if (context == nullptr) return 1;
  context->navigation.epochCallback.store(callback, std::memory_order_release);
  return 0;
}
