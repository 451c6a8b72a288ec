// The portable half of the receiver: the serial layer's receive handler and
// the activity query.
#include "nmea/nmea_internal.h"
#include "nmea/receiver.h"

int32_t OrvoGPSIsActive(const GpsContext* context) {
  return context != nullptr && context->active != 0 ? 1 : 0;
}

// Set while this thread feeds a block: the application's callbacks run
// inside it.
static thread_local bool tFeeding = false;

bool GpsFeedingOnThisThread() { return tFeeding; }

void GpsRxBytes(void* userData, const unsigned char* bytes, int32_t count) {
  GpsContext* context = static_cast<GpsContext*>(userData);
  const bool outer = !tFeeding;
  tFeeding = true;
  if (count > 0 && OrvoGPSIsActive(context) != 0) {
    const GpsBytesCallback tap = context->bytesCallback.load(std::memory_order_acquire);
    if (tap != nullptr) tap(context, bytes, count);
  }
  for (int32_t i = 0; i < count; ++i) GpsFeedByte(context, bytes[i]);
  GpsCountFramingBytes(context);
  if (outer) tFeeding = false;
}

void GpsRestartFramer(GpsContext* context) {
  // The bytes framed so far were counted when their block ended.
  context->position = 0;
  context->stats.sentenceCounted = 0;
  context->frame.length = 0;
  context->frameCounted = 0;
  context->state = FramerWaitStart;
}

uint32_t GpsVerifiedCount(const GpsContext* context) {
  return context->stats.sentences.load(std::memory_order_relaxed) +
         context->stats.ignored.load(std::memory_order_relaxed) +
         context->stats.frames.load(std::memory_order_relaxed);
}

uint32_t GpsHeldCount(const GpsContext* context) {
  return context->state == FramerFrame ? static_cast<uint32_t>(context->frame.length) : 0;
}
