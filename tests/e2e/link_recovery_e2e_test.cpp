// Frames the simulated register refuses with NACK: the real control sends the same frame
// again and the command is carried out once; when every attempt is refused the call fails
// with a time-out and the next command goes through. The trace file shows the exchange.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/sim_control_fixture.h"

namespace velka {
namespace {

using testing::SimControlFixture;
using testing::SimControlOptions;

SimControlOptions Traced() {
  SimControlOptions options;
  options.trace = true;
  return options;
}

class LinkRecoveryE2E : public SimControlFixture {
 protected:
  LinkRecoveryE2E() : SimControlFixture(Traced()) {}

  // The trace messages that begin with the prefix.
  std::vector<std::string> traced(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& m : traceMessages()) {
      if (m.rfind(prefix, 0) == 0) out.push_back(m);
    }
    return out;
  }
  std::string receiptLines() { return std::string(1, static_cast<char>(ask(u"<</?r")[2])); }
};

TEST_F(LinkRecoveryE2E, NackedFirstFrameIsSentAgainAndCarriedOutOnce) {
  sim->faults().nack = 1;
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  ASSERT_EQ(sell(u"PRIMO", 10000, 1), 0);
  EXPECT_EQ(receiptLines(), "1");

  const std::vector<std::string> sent = traced("> - Invio \x02");  // frames only
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], sent[1]);  // the same frame, sequence digit included
  EXPECT_NE(sent[0].find("=R1/$1/*1/(PRIMO)"), std::string::npos) << sent[0];
  EXPECT_EQ(traced("> - Invio COMANDO KO= NACK").size(), 1u);
  EXPECT_TRUE(traced("> - Invio COMANDO TIMEOUT").empty());
}

// A frame refused after an earlier command was answered: the control's own NACK must not make
// the register repeat that earlier answer in front of the acknowledgement.
TEST_F(LinkRecoveryE2E, NackAfterAnAnsweredCommandStillCarriesTheNextOneOut) {
  std::u16string when;
  ASSERT_EQ(control->GetDate(when), 0);
  sim->faults().nack = 2;
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  ASSERT_EQ(sell(u"SECONDO", 10000, 1), 0);
  EXPECT_EQ(receiptLines(), "1");
  EXPECT_EQ(traced("> - Invio COMANDO KO= NACK").size(), 2u);
}

TEST_F(LinkRecoveryE2E, EveryAttemptRefusedFailsWithTimeOutAndTheLinkRecovers) {
  sim->faults().nack = 3;
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  EXPECT_EQ(sell(u"RIFIUTATO", 10000, 1), 112);
  EXPECT_EQ(control->PrinterState(), 2);
  EXPECT_EQ(sim->model().state().receipt.items.size(), 0u);
  EXPECT_EQ(traced("> - Invio COMANDO KO= NACK").size(), 2u);
  EXPECT_EQ(traced("> - Invio COMANDO KO= ACK").size(), 1u);

  ASSERT_EQ(sell(u"ACCETTATO", 10000, 1), 0);
  EXPECT_EQ(receiptLines(), "1");
  ASSERT_EQ(sim->model().state().receipt.items.size(), 1u);
  EXPECT_EQ(sim->model().state().receipt.items[0].description, "ACCETTATO");
}

}  // namespace
}  // namespace velka
