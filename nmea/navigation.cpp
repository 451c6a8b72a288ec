// The navigation state: each verified sentence read by its rules, what it
// changed published for readers on other threads, and the end of each epoch
// told to the application.
#include <cstddef>
#include <cstring>
#include <thread>

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

constexpr KindRow KIND_TABLE[] = {
    {TypeKey("GGA"), KIND_GGA},  // time, position, quality, satellites used, HDOP, altitude, geoid
    {TypeKey("GNS"), KIND_GNS},  // the same for several constellations, a mode letter each
    {TypeKey("RMC"), KIND_RMC},  // time, status, position, speed, track, date
    {TypeKey("GLL"), KIND_GLL},  // position, time, status
    {TypeKey("ZDA"), KIND_ZDA},  // time and date
    {TypeKey("VTG"), KIND_VTG},  // track and speed
    {TypeKey("GSA"), KIND_GSA},  // mode, satellites used, DOPs
    {TypeKey("GSV"), KIND_GSV},  // satellites in view
};

// Other $P addresses are proprietary and read by nothing.
constexpr char QUECTEL_TALKER[] = "PQ";

// Identifies a sentence for learning which one ends a receiver's cycle: up
// to seven characters of its address, and for GSV whether it ends its group
// and its signal id, for GSA its system id (receivers send several of each
// per cycle).  The top bit is set in every key, so that 0 is none.
uint64_t SentenceKey(const SentenceFields& fields, SentenceKind kind, int32_t systemIdField) {
  uint64_t key = uint64_t{1} << 63;
  const char* address = fields.sentence + 1;
  for (int32_t i = 0; i < 7 && address[i] != ',' && address[i] != '*'; ++i)
    key |= static_cast<uint64_t>(static_cast<unsigned char>(address[i])) << (8 * i);
  uint64_t detail = 0;
  if (kind == KIND_GSV) {
    const int32_t lastField = systemIdField > 0 ? systemIdField - 1 : fields.count - 1;
    const bool lastPart = ReadCount(FieldAt(fields, 1), 2) == ReadCount(FieldAt(fields, 2), 2);
    detail = (lastPart ? 0x20 : 0) | static_cast<uint64_t>(GsvSignalId(fields, lastField) + 1);
  } else if (kind == KIND_GSA) {
    detail = static_cast<uint64_t>(GsaSystemId(fields, systemIdField) + 1);
  }
  return key ^ (detail << 56);
}

// The feeding thread makes the sequence odd, writes the words (and how many
// there are, where readers need to know), and makes it even again.
template <size_t N>
void PublishWords(std::atomic<uint32_t>& sequence, std::atomic<uint64_t> (&words)[N],
                  std::atomic<uint32_t>* wordCount, const void* record, size_t bytes) {
  const uint32_t start = sequence.load(std::memory_order_relaxed);
  sequence.store(start + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  if (wordCount != nullptr) wordCount->store(static_cast<uint32_t>((bytes + 7) / 8), std::memory_order_relaxed);
  const unsigned char* from = static_cast<const unsigned char*>(record);
  for (size_t i = 0; i * 8 < bytes; ++i) {
    uint64_t word = 0;
    std::memcpy(&word, from + i * 8, bytes - i * 8 < 8 ? bytes - i * 8 : 8);
    words[i].store(word, std::memory_order_relaxed);
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
                  bool newRun) {
  switch (kind) {
    case KIND_GGA: return ReadGga(navigation, fields);
    case KIND_GNS: return ReadGns(navigation, fields);
    case KIND_RMC: return ReadRmc(navigation, fields);
    case KIND_GLL: return ReadGll(navigation, fields);
    case KIND_ZDA: return ReadZda(navigation, fields);
    case KIND_VTG: return ReadVtg(navigation, fields);
    case KIND_GSA: {
      const int32_t dopField = GsaDopField(fields, systemIdField);
      return ReadGsaFix(navigation, fields, dopField) |
             ReadGsaUsed(navigation, fields, GsaSystemId(fields, systemIdField), dopField, newRun);
    }
    case KIND_GSV: return ReadGsv(navigation, fields, systemIdField, newRun);
    case KIND_OTHER: break;
  }
  return 0;
}

}  // namespace

SentenceKind SentenceKindOf(const SentenceFields& fields, int32_t* systemIdField) {
  *systemIdField = 0;
  const Field address = FieldAt(fields, 0);
  // A two-letter talker and a three-letter type.
  if (address.length != 5) return KIND_OTHER;
  const uint32_t key = TypeKey(address.text + 2);
  SentenceKind kind = KIND_OTHER;
  for (const KindRow& row : KIND_TABLE)
    if (row.key == key) kind = row.kind;
  if (address.text[0] == 'P') {
    if (address.text[1] != QUECTEL_TALKER[1] || (kind != KIND_GSV && kind != KIND_GSA) || fields.count < 3)
      return KIND_OTHER;
    *systemIdField = fields.count - 1;
  }
  return kind;
}

void GpsNavigationUpdate(const char* sentence) {
  GpsNavigation* navigation = &gGpsContext.navigation;
  SentenceFields fields;
  int32_t systemIdField = 0;
  SentenceKind kind = KIND_OTHER;
  if (SplitSentence(sentence, &fields)) kind = SentenceKindOf(fields, &systemIdField);
  else fields.count = 1;  // read by nothing; the key takes the address from the text
  const bool newRun = kind != navigation->previousKind;
  navigation->previousKind = kind;

  uint32_t changed = 0;
  const int32_t timeOfDay = SentenceTimeOfDay(kind, fields);
  if (timeOfDay >= 0 && timeOfDay != navigation->timeOfDay) {
    BeginEpoch(navigation, timeOfDay);
    changed = CHANGED_FIX;
  }
  changed |= ReadKind(navigation, kind, fields, systemIdField, newRun);
  if (changed & CHANGED_FIX) PublishFix(navigation);
  if (changed & CHANGED_SKY) PublishSky(navigation);

  const uint64_t key = SentenceKey(fields, kind, systemIdField);
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
