#include "sim/register_frames.h"

#include <gtest/gtest.h>

#include "tests/sim/answer_view.h"

namespace velka::sim {
namespace {

using testing::ReadAnswer;

TEST(RegisterFrames, CommandFramesMatchTheWorkedExamples) {
  EXPECT_EQ(EncodeCommandFrame("?d", '3'),
            (Bytes{0x02, 0x30, 0x31, 0x30, 0x30, 0x32, 0x4E, 0x3F, 0x64, 0x33, 0x31, 0x37, 0x03}));
  EXPECT_EQ(EncodeCommandFrame("?s", '8'),
            (Bytes{0x02, 0x30, 0x31, 0x30, 0x30, 0x32, 0x4E, 0x3F, 0x73, 0x38, 0x30, 0x42, 0x03}));
  EXPECT_EQ(EncodeCommandFrame(">>/?S", '1'),
            (Bytes{0x02, 0x30, 0x31, 0x30, 0x30, 0x35, 0x56, 0x3E, 0x3E, 0x2F, 0x3F, 0x53, 0x31,
                   0x31, 0x32, 0x03}));
}

// The offsets the control reads, for every field of a status answer.
TEST(RegisterFrames, StatusAnswersAre21BytesWithTheFieldsWhereTheControlReadsThem) {
  struct Row {
    StatusAnswer answer;
    char kind, condition;
    int number;
    char at14, at15;
  };
  const Row rows[] = {
      {{}, 'O', '-', 0, '0', '0'},
      {{false, '-', 0, DocumentDigit::PaymentIncomplete, true}, 'O', '-', 0, '2', '1'},
      {{false, '-', 0, DocumentDigit::ReceiptEnding, false}, 'O', '-', 0, '4', '0'},
      {{true, 'C', 103, DocumentDigit::FiscalReceipt, true}, 'E', 'C', 103, '1', '1'},
      {{true, 'P', 104, DocumentDigit::None, true}, 'E', 'P', 104, '0', '1'},
      {{true, 'R', 105, DocumentDigit::NonFiscal, false}, 'E', 'R', 105, '9', '0'},
      {{true, 'R', 7, DocumentDigit::None, false}, 'E', 'R', 7, '0', '0'},
  };
  for (const Row& row : rows) {
    const Bytes frame = EncodeStatusAnswer(row.answer, '5');
    const auto view = ReadAnswer(frame);
    ASSERT_EQ(frame.size(), kStatusAnswerBytes);
    EXPECT_TRUE(view.framed && view.check_ok);
    EXPECT_EQ(view.kind, row.kind);
    EXPECT_EQ(view.condition, row.condition);
    EXPECT_EQ(view.error_number, row.number);
    EXPECT_EQ(view.at13, '0');
    EXPECT_EQ(view.at14, row.at14);
    EXPECT_EQ(view.at15, row.at15);
    EXPECT_EQ(frame[16], '5');
  }
}

TEST(RegisterFrames, DataAnswerCarriesTheAnswerDataAfterItsKind) {
  const auto view = ReadAnswer(EncodeDataAnswer('d', "06/12/26 18:30:00"));
  EXPECT_TRUE(view.check_ok);
  EXPECT_EQ(view.kind, 'd');
  EXPECT_EQ(view.answer_data, "06/12/26 18:30:00");
  // Kind alone: length field 1, no answer data.
  EXPECT_EQ(ReadAnswer(EncodeDataAnswer('S', "")).answer_data, "");
  // Control bytes never reach the line inside a frame.
  const Bytes odd = EncodeDataAnswer('|', std::string("a\x03"
                                                      "b\x02",
                                                      4));
  EXPECT_EQ(ReadAnswer(odd).answer_data, "a?b?");
  // Data is cut so that the frame stays within the length field.
  EXPECT_EQ(EncodeDataAnswer('x', std::string(2000, 'y')).size(), 999u + 10u);
}

TEST(RegisterFrames, CorruptedCheckFailsTheControlsCheckOnly) {
  const auto view = ReadAnswer(EncodeStatusAnswer({}, '1', true));
  EXPECT_TRUE(view.framed);
  EXPECT_FALSE(view.check_ok);
  EXPECT_EQ(view.kind, 'O');
}

TEST(RegisterFrames, DataLinesEndInCrLf) {
  const Bytes b = EncodeDataLines({"ONE", "", "T\rWO"});
  EXPECT_EQ(std::string(b.begin(), b.end()), "ONE\r\n\r\nT?WO\r\n");
}

}  // namespace
}  // namespace velka::sim
