// The wire's timing: when each byte is due at the line's speed, and when the register hands a
// batch of them over.
#include "sim/wire_pacer.h"

#include <gtest/gtest.h>

namespace velka::sim {
namespace {

Bytes Of(std::size_t count) {
  return Bytes(count, 'x');
}

TEST(WirePacerTest, BytesAreDueWhenTheirLastBitHasPassed) {
  struct Row {
    int baud;
    std::size_t bytes;
    Micros first_us;  // after the push
    Micros last_us;
  };
  const Row rows[] = {
      {115200, 1, 87, 87},          // 86.8 us a byte, never early: rounded up
      {115200, 21, 87, 1823},       // a status answer: 1.82 ms
      {9600, 21, 1042, 21875},      // the same at 9600: 21.9 ms
      {9600, 1010, 1042, 1052083},  // the longest frame: over a second
      {0, 30, 0, 0},                // not paced: due at once
  };
  for (const Row& row : rows) {
    WirePacer pacer(row.baud);
    pacer.push(Of(row.bytes), 1000);
    EXPECT_EQ(pacer.nextDue(), 1000 + row.first_us) << row.baud << " " << row.bytes;
    EXPECT_EQ(pacer.lastDue(), 1000 + row.last_us) << row.baud << " " << row.bytes;
    EXPECT_EQ(pacer.idleAt(), 1000 + row.last_us);
    EXPECT_EQ(pacer.wireTime(row.bytes), row.last_us);
    EXPECT_EQ(pacer.takeDue(1000 + row.last_us - 1).size(), row.last_us > 0 ? row.bytes - 1 : 0u)
        << row.baud << " " << row.bytes;
    EXPECT_EQ(pacer.takeDue(1000 + row.last_us).size(), row.last_us > 0 ? 1u : row.bytes);
    EXPECT_TRUE(pacer.empty());
  }
}

TEST(WirePacerTest, BytesHandedOverWhileTheLineIsBusyFollowTheOthers) {
  WirePacer pacer(115200);
  pacer.push(Of(10), 0);
  pacer.push(Of(10), 100);           // the line is still busy with the first ten
  EXPECT_EQ(pacer.lastDue(), 1737);  // 20 bytes from 0, not 10 from 100
  pacer.takeDue(2000);
  pacer.push(Of(1), 5000);  // an idle line starts again from the push
  EXPECT_EQ(pacer.lastDue(), 5087);
}

// Batches of at most batch_us after their first byte is due; the last byte of what is queued
// goes exactly when it is due.
TEST(WirePacerTest, HandOverInBatchesEndingOnTheLastByte) {
  WirePacer fast(115200);
  fast.push(Of(21), 0);
  EXPECT_EQ(fast.nextHandOver(4000), 1823);  // a frame shorter than a batch: once, at its end

  WirePacer slow(9600);
  slow.push(Of(21), 0);
  EXPECT_EQ(slow.nextHandOver(4000), 1042 + 4000);
  slow.takeDue(5042);
  EXPECT_EQ(slow.nextHandOver(4000), 5209 + 4000);
  slow.takeDue(20000);
  EXPECT_EQ(slow.nextHandOver(4000), 21875);
  slow.takeDue(21875);
  EXPECT_EQ(slow.nextHandOver(4000), std::nullopt);
}

}  // namespace
}  // namespace velka::sim
