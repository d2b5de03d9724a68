#include <gtest/gtest.h>

#include <string>

#include "automation/result_codes.h"
#include "control/link/link_limits.h"
#include "tests/link/link_fixture.h"

namespace velka::testing {
namespace {

class DataLines : public LinkTest {
 protected:
  static std::string Line(std::size_t length, char fill) { return std::string(length, fill); }
  static Bytes CrLf(const std::string& line) { return B(line + "\r\n"); }
  std::vector<std::string> dataTrace() const {
    std::vector<std::string> out;
    for (const auto& m : traceMessages()) {
      if (m.rfind("> - Ricezione Dati : ", 0) == 0 || m.rfind("> - Fine Ricezione Dati : ", 0) == 0)
        out.push_back(m);
    }
    return out;
  }
};

TEST_F(DataLines, TenLinesAndAStatusAnswer) {
  std::vector<std::string> lines{Line(33, 'a')};
  for (int i = 1; i < 10; ++i) lines.push_back("line " + std::to_string(i));
  Bytes stream{ACK};
  for (const auto& line : lines) {
    const Bytes l = CrLf(line);
    stream.insert(stream.end(), l.begin(), l.end());
  }
  const Bytes status = R::Status('0', '4', '0');
  reg.then({{1, stream}, {50, status}});
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Success);

  ASSERT_EQ(events.data.size(), 10u);
  EXPECT_EQ(events.data[0], std::u16string(33, u'a'));
  EXPECT_EQ(events.data[9], u"line 9");
  const auto trace_lines = dataTrace();
  ASSERT_EQ(trace_lines.size(), 11u);
  EXPECT_EQ(trace_lines[1], "> - Ricezione Dati : line 1");
  EXPECT_EQ(trace_lines[10], "> - Fine Ricezione Dati : " + link::FrameText(status));
  EXPECT_TRUE(state.DataMode);
  EXPECT_EQ(state.PrinterState, printer_state::ReceiptEnding);  // the closing answer is judged
  EXPECT_TRUE(state.AnswerData.empty());
}

TEST_F(DataLines, FirstLineLengthsThatStartAStream) {
  struct Row {
    std::size_t length;
    bool stream;
  } rows[] = {{33, true}, {32, true}, {25, true}, {24, false}, {30, false}};
  for (const Row& row : rows) {
    events.data.clear();
    const Bytes first = R::Join({{ACK}, CrLf(Line(row.length, 'x'))});
    // Split the first line over two reads, after the acknowledgement.
    reg.then({{1, Bytes(first.begin(), first.begin() + 10)},
              {20, Bytes(first.begin() + 10, first.end())},
              {40, CrLf("second line")},
              {60, R::Status()}});
    const std::int32_t outcome = link->SendCommand("<</?D", false);
    if (row.stream) {
      EXPECT_EQ(outcome, result::Success) << row.length;
      EXPECT_EQ(events.data.size(), 2u) << row.length;
    } else {
      // Not a stream: the line is taken for a (faulty) answer frame.
      EXPECT_NE(outcome, result::Success) << row.length;
      EXPECT_TRUE(events.data.empty()) << row.length;
    }
  }
}

TEST_F(DataLines, StreamThatCameWithTheAcknowledgement) {
  reg.then({{1, R::Join({{ACK}, CrLf(Line(25, 'q')), CrLf("tail")})}, {3000, R::Status()}});
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Success);
  EXPECT_EQ(events.data, (std::vector<std::u16string>{std::u16string(25, u'q'), u"tail"}));
}

TEST_F(DataLines, LinesSplitAcrossReadsAndCrWithoutLf) {
  reg.then({{1, R::Join({{ACK}, CrLf(Line(32, 'z'))})},
            {20, B("hal")},
            {40, B("f line\r\n")},
            {60, B("cr\rthen")},
            {80, B(" more\r")},
            {100, B("\nlast\r\n")},
            {120, R::Status()}});
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Success);
  EXPECT_EQ(events.data, (std::vector<std::u16string>{std::u16string(32, u'z'), u"half line",
                                                      u"crthen more", u"last"}));
}

TEST_F(DataLines, BytesAfterTheClosingEtxAreDropped) {
  reg.then({{1, R::Join({{ACK}, CrLf(Line(33, 'a'))})},
            {20, R::Join({R::Status(), CrLf("after the end")})}});
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Success);
  EXPECT_EQ(events.data.size(), 1u);
}

TEST_F(DataLines, SilenceInTheStreamIsATimeOut) {
  reg.then({{1, R::Join({{ACK}, CrLf(Line(33, 'a'))})}, {20, CrLf("partial")}});
  const Millis start = loop.now();
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Timeout);
  // 30 s of silence in the stream, then two short waits for an answer that is sent again.
  const Millis elapsed = loop.now() - start;
  EXPECT_GE(elapsed, link::kDataLineGapMs);
  EXPECT_LE(elapsed, link::kDataLineGapMs + 2 * link::kAnswerCompletionMs + 200);
  EXPECT_EQ(events.data.size(), 2u);
  // Nothing of a closing frame came: the store is traced as it stands, all zero.
  EXPECT_TRUE(traced("> - Fine Ricezione Dati : " + std::string(link::kStatusAnswerLength, '\0')));
}

TEST_F(DataLines, OverlongClosingFrameIsRefused) {
  // 23 bytes between STX and ETX, with "4" at s + 14: judged from a truncated copy it could
  // pass for a status answer.
  reg.then({{1, R::Join({{ACK}, CrLf(Line(33, 'a'))})}, {20, R::Frame("O00000040000000")}});
  EXPECT_NE(link->SendCommand("<</?D", false), result::Success);
  EXPECT_TRUE(traced("< - Risposta FRAME KO= NACK"));
  EXPECT_EQ(events.data.size(), 1u);
  EXPECT_EQ(state.PrinterState, printer_state::Idle);
}

TEST_F(DataLines, EndlessLineIsRefusedWithBoundedMemory) {
  ScriptedRegister::Reply reply{{1, R::Join({{ACK}, CrLf(Line(33, 'a'))})}};
  for (int i = 0; i < 20; ++i) reply.push_back({20 + 10 * i, Bytes(512, 'n')});
  reg.then(reply);
  const std::int32_t outcome = link->SendCommand("<</?D", false);
  EXPECT_TRUE(outcome == result::AnswerRefused || outcome == result::Timeout) << outcome;
  EXPECT_TRUE(traced("< - Risposta FRAME KO= NACK"));
  EXPECT_LE(state.AnswerData.size(), link::kMaxDataLine);
}

TEST_F(DataLines, HandlersCallingBackIntoTheLink) {
  std::vector<std::int32_t> nested;
  events.onEvent = [&](const std::string& event) {
    if (event.starts_with("ReceiveDataEvent")) nested.push_back(link->SendCommand("?s", true));
  };
  reg.then({{1, R::Join({{ACK}, CrLf(Line(33, 'a')), CrLf("b")})}, {20, R::Status()}});
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Success);
  EXPECT_EQ(nested, (std::vector<std::int32_t>{result::LinkBusy, result::LinkBusy}));
  EXPECT_EQ(reg.commands().size(), 1u);

  // A handler that closes the port (TMVClose) ends the exchange at once.
  events.onEvent = [&](const std::string& event) {
    if (event.starts_with("ReceiveDataEvent")) port.close();
  };
  reg.then({{1, R::Join({{ACK}, CrLf(Line(33, 'a'))})}, {20000, R::Status()}});
  const Millis start = loop.now();
  EXPECT_EQ(link->SendCommand("<</?D", false), result::Timeout);
  EXPECT_LE(loop.now() - start, 10);
  EXPECT_TRUE(state.LinkFree);
}

}  // namespace
}  // namespace velka::testing
