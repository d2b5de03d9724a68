#pragma once
// The readable transcript of the line (velka-sim --log): one line per thing that crossed it,
// with the time in seconds since the start (to the microsecond), "<" for bytes from the
// control (timed at their first byte on the line), ">" for bytes to it (timed when their last
// byte was handed over) and "#" for what the register made of them:
//   12.345012 < STX 01 002 N ?d 3 17 ETX
//   12.346147 > ACK
//   12.347920 > STX 01 018 N d06/12/26 18:30:00 4C ETX
#include <string>

#include "sim/register_session.h"

namespace velka::sim {

// Command frames are split into address, length, kind, text, sequence and check; answer
// frames into address, length, kind, data field and check; control bytes are named and other
// bytes below 0x20 written as <0xNN>.
std::string DescribeBytes(const Bytes& bytes, bool from_control);
std::string TranscriptLine(const Traffic& traffic, Micros since_start_us);

}  // namespace velka::sim
