// The portable half of the receiver: the serial layer's receive handler and
// the activity query.
#include "nmea/nmea_internal.h"
#include "nmea/receiver.h"

int32_t OrvoGPSIsActive(const GpsContext* context) {
  return context != nullptr && context->active != 0 ? 1 : 0;
}

void GpsRxBytes(void* userData, const unsigned char* bytes, int32_t count) {
  GpsContext* context = static_cast<GpsContext*>(userData);
  for (int32_t i = 0; i < count; ++i) GpsFeedByte(context, bytes[i]);
  GpsCountFramingBytes(context);
}
