#include <gtest/gtest.h>

#include <string>

#include "nmea/receiver.h"
#include "nmea_test_support.h"

namespace {

TEST(receiver_feed_test, feeds_every_byte_of_a_block_in_order) {
  GpsContext* context = FreshContext();
  const std::string block = "$GPGLL,3854.5087,N,07726.4523,W,125106,V,S*55\r\n$GPVTG,0.0,T,10.5,M,0.0,N,0.0,K*7A\r\n$GP";
  GpsRxBytes(context, reinterpret_cast<const unsigned char*>(block.data()), static_cast<int32_t>(block.size()));
  EXPECT_EQ(CalledTypes(), (std::vector<SentenceType>{SENTENCE_GLL, SENTENCE_VTG}));
  EXPECT_EQ(context->position, 3);
}

TEST(receiver_feed_test, empty_or_negative_count_feeds_nothing) {
  GpsContext* context = FreshContext();
  const unsigned char dollar[] = {'$'};
  GpsRxBytes(context, dollar, 0);
  GpsRxBytes(context, dollar, -1);
  EXPECT_EQ(context->position, 0);
}

TEST(receiver_feed_test, is_active) {
  EXPECT_EQ(OrvoGPSIsActive(nullptr), 0);
  GpsContext* context = FreshContext();
  EXPECT_EQ(OrvoGPSIsActive(context), 1);
  context->active = 0;
  EXPECT_EQ(OrvoGPSIsActive(context), 0);
  context->active = 1;
}

}  // namespace
