#pragma once
// The register the tests play on a ScriptedPort, and the bytes a register sends. Every frame
// the control writes is read and answered with the next reply of the script, or, once the
// script has run out, by the standing responder (none: silence). The single bytes the control
// sends between frames (ACK, NACK) are recorded. The answer frames are closed with the tests'
// own block check (tests/support/block_check.h), not with the control's codec.
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/scripted_port.h"

namespace velka {

class ScriptedRegister {
 public:
  struct Send {
    Millis delay_ms;  // after the frame was written
    Bytes bytes;
  };
  using Reply = std::vector<Send>;
  // A frame the control wrote, as the register reads it.
  struct Received {
    std::string command;  // the text between the kind letter and the sequence digit
    char kind = 0;        // 'N' or 'V'; 0 for a write that is no frame
  };
  using Responder = std::function<Reply(const Received& frame)>;

  explicit ScriptedRegister(ScriptedPort& port);
  ~ScriptedRegister();
  ScriptedRegister(const ScriptedRegister&) = delete;
  ScriptedRegister& operator=(const ScriptedRegister&) = delete;

  // The reply to the next frame not yet answered.
  ScriptedRegister& then(Reply reply);
  // The reply to every frame beyond the script.
  ScriptedRegister& always(Reply reply);
  // The reply to every frame beyond the script, worked out from the frame.
  ScriptedRegister& answering(Responder responder);

  // Texts of the frames received, in order.
  const std::vector<std::string>& commands() const { return commands_; }
  // Virtual times at which the frames were written.
  const std::vector<Millis>& frameTimes() const { return frame_times_; }
  // Single bytes the control sent outside frames.
  const Bytes& replyBytes() const { return reply_bytes_; }

  // A command frame as the register reads it: STX "01" LLL kind text digit check ETX.
  static Received Read(const Bytes& frame);

  // Builders of what a register sends.
  // STX "01" length "N" data sequence-digit check ETX, the check in upper-case hexadecimal.
  static Bytes Frame(std::string_view data, char sequence = '0');
  // A 21-byte "O" status answer with the given characters at s + 13, s + 14 and s + 15.
  static Bytes Status(char s13 = '0', char s14 = '1', char s15 = '0');
  // A 21-byte "E" status answer: condition letter, four-digit error number, and whether the
  // register reports again when the condition is cleared ("1" at s + 15).
  static Bytes ErrorStatus(char condition, std::string_view number, bool reports_again = false);
  static Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }
  static Bytes Join(std::initializer_list<Bytes> parts);
  // ACK at once, then the answer after answer_after_ms.
  static Reply AckThen(const Bytes& answer, Millis answer_after_ms = 20);
  // ACK and the answer together, after_ms after the frame.
  static Reply AckWith(const Bytes& answer, Millis after_ms = 5);
  static Reply Only(const Bytes& bytes, Millis after_ms = 5) { return {{after_ms, bytes}}; }

 private:
  void onWrite(const Bytes& written);

  ScriptedPort& port_;
  std::deque<Reply> script_;
  Responder standing_;
  std::vector<std::string> commands_;
  std::vector<Millis> frame_times_;
  Bytes reply_bytes_;
};

}  // namespace velka
