#include "pacer.h"

#include <gtest/gtest.h>

TEST(pacer_test, a_second_of_bytes_takes_a_second_of_line) {
  struct Row {
    int64_t baud;
    size_t bytesPerSecond;
  };
  for (const Row r : {Row{4800, 480}, Row{9600, 960}, Row{115200, 11520}, Row{1200, 120}}) {
    Pacer pacer = PacerMake(r.baud);
    int64_t last = 0;
    const size_t chunk = PacerChunkBytes(r.baud);
    for (size_t sent = 0; sent < r.bytesPerSecond; sent += chunk) {
      last = PacerReserve(pacer, std::min(chunk, r.bytesPerSecond - sent), 1000);
    }
    EXPECT_GE(last - 1000, 1000000000) << r.baud << " baud delivered too early";
    EXPECT_LE(last - 1000, 1000000000 + 1000) << r.baud << " baud rounding drifts";
  }
}

TEST(pacer_test, bytes_queue_behind_a_busy_line_and_start_afresh_on_an_idle_one) {
  Pacer pacer = PacerMake(4800);
  const int64_t byteNs = 2083334;  // 10 bits at 4800 baud, rounded up
  EXPECT_EQ(PacerReserve(pacer, 1, 0), byteNs);
  EXPECT_EQ(PacerReserve(pacer, 1, 0), 2 * byteNs) << "offered early, queued behind";
  EXPECT_EQ(PacerReserve(pacer, 1, 10 * byteNs), 11 * byteNs) << "idle line starts now";
}

TEST(pacer_test, chunks_are_about_ten_milliseconds_of_line) {
  EXPECT_EQ(PacerChunkBytes(1200), 1u);
  EXPECT_EQ(PacerChunkBytes(4800), 4u);
  EXPECT_EQ(PacerChunkBytes(9600), 9u);
  EXPECT_EQ(PacerChunkBytes(230400), 230u);
}
