// ReceiveDataLines: the lines of text a register sends before the closing answer of a data
// command. Each line goes to the host (ReceiveDataEvent) and to the trace; the closing frame
// goes back to the exchange, which has it judged like any answer.
#include <vector>

#include "control/core/control_events.h"
#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/data_line_splitter.h"
#include "control/link/frame_codec.h"
#include "control/link/link_limits.h"
#include "control/link/register_link.h"
#include "platform/single_byte_text.h"

namespace velka {

// The stream ends with the first ETX or after kDataLineGapMs without a byte; the limit
// restarts with every read, so a long stream is limited only by gaps in it. A closing frame
// longer than a status answer, or a line or frame past the size limits, refuses the answer.
RegisterLink::DataLinesResult RegisterLink::ReceiveDataLines(const Bytes& received) {
  StopTimeout();
  state_.TimeoutElapsed = false;
  state_.AnswerData.clear();
  link::DataLineSplitter splitter;
  Bytes chunk = received;
  DataLinesResult outcome;
  for (;;) {
    loop_.processPendingEvents();
    std::vector<std::string> lines;
    const auto progress = splitter.feed(chunk, lines);
    for (std::string& line : lines) DeliverDataLine(std::move(line));
    state_.AnswerData = splitter.lineUnderConstruction();
    state_.ReceiveBuffer.clear();
    if (progress == link::DataLineSplitter::Progress::FrameEnded) {
      outcome.end = DataLinesEnd::Frame;
      outcome.frame = splitter.frameStore();
      break;
    }
    if (progress == link::DataLineSplitter::Progress::Rejected) {
      outcome.end = DataLinesEnd::Rejected;
      break;
    }

    const Millis deadline = StartTimeout(link::kDataLineGapMs);
    Wait(
        [&] {
          if (port_.bytesWaiting() == 0) return false;
          state_.TimeoutElapsed = false;
          StopTimeout();
          chunk = port_.readAll();
          state_.ReceiveBuffer.insert(state_.ReceiveBuffer.end(), chunk.begin(), chunk.end());
          return true;
        },
        deadline);
    StopTimeout();
    if (state_.TimeoutElapsed) {
      outcome.end = DataLinesEnd::Silence;
      break;
    }
  }
  trace_.sent(" - Fine Ricezione Dati : " + link::FrameText(splitter.frameStore()));
  if (outcome.end == DataLinesEnd::Rejected) {
    Refuse(" - Risposta FRAME KO= NACK");
    port_.discardInput();
  }
  return outcome;
}

void RegisterLink::DeliverDataLine(std::string line) {
  state_.AnswerData = line;
  if (state_.events) state_.events->ReceiveDataEvent(FromSingleByte(line));
  trace_.sent(" - Ricezione Dati : " + line);
  state_.AnswerData.clear();
}

}  // namespace velka
