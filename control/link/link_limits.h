#pragma once
// The time limits and buffer sizes of the register link, named once.
#include <cstddef>

#include "platform/event_loop.h"

namespace velka::link {

// Acknowledgement of a frame; the longer limit is for commands beginning ">c}", which the
// register only acknowledges once it has carried them out.
inline constexpr Millis kAckWaitMs = 3000;
inline constexpr Millis kLongAckWaitMs = 10000;
inline constexpr int kTransmitAttempts = 3;

// The answer of a synchronous command, and the number of waits for it.
inline constexpr Millis kAnswerWaitMs = 30000;
inline constexpr int kAnswerWaits = 3;
// Completing an answer frame once reception has begun.
inline constexpr Millis kAnswerCompletionMs = 3000;
// Longest gap between two reads of a stream of data lines.
inline constexpr Millis kDataLineGapMs = 30000;

// The answer of a queued command; "=T4" commands take longer.
inline constexpr Millis kQueuedAnswerMs = 30000;
inline constexpr Millis kLongQueuedAnswerMs = 65535;
// Period of the queue pump.
inline constexpr Millis kQueuePumpMs = 50;

// Waiting for the register to report an error condition cleared (paper replaced, cover
// closed ...). The register gives no limit of its own; after this the call fails with the
// condition still in ResultCodeExtended, so a host is never held for ever.
inline constexpr Millis kClearingWaitMs = 120000;

// Before the acknowledgement wait, the frame must have left the port; this much is allowed on
// top of twice its wire time.
inline constexpr Millis kOutputDrainSlackMs = 1000;

// Bytes received for one answer frame, and characters of one data line. A register that
// sends noise without ETX or CR LF fails the exchange once these are exceeded.
inline constexpr std::size_t kMaxFrameBuffer = 4096;
inline constexpr std::size_t kMaxDataLine = 4096;

}  // namespace velka::link
