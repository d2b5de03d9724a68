// What the window and the tray icon show: captions, the control's status events, job results.
#include <gtest/gtest.h>

#include "platform/single_byte_text.h"
#include "server/jobs/grouped_number.h"
#include "server/jobs/status_display.h"
#include "tests/server/server_test_support.h"

namespace velka::server {
namespace {

using testing::RecordingView;

std::string Utf8(const std::optional<std::string>& text) {
  return text ? SingleByteToUtf8(*text) : "<unchanged>";
}

TEST(StatusDisplayTest, StatusUpdateEvents) {
  const struct {
    std::int32_t status;
    const char* lblStato;
    const char* icon;
    const char* tooltip;
    bool to_front;
  } rows[] = {
      {11, "Il coperchio è aperto", "error", "Il coperchio è aperto", true},
      {12, "Il coperchio è stato richiuso", "normal", "Il coperchio è stato richiuso", false},
      {24, "Il rotolo carta è terminato", "error", "Il rotolo carta è terminato", true},
      {26, "Il rotolo carta è stato sostituito", "normal", "Il rotolo carta è stato sostituito",
       false},
      {30, "La stampante è occupata", "warning", "La stampante è occupata", false},
      {1001, "La stampante è pronta", "normal", "Velka Server - TMV S.P.A.", false},
      // Unlisted: the status text shown before is copied into the tooltip.
      {21, "<unchanged>", "<unchanged>", "La stampante è pronta", false},
      {23, "<unchanged>", "<unchanged>", "La stampante è pronta", false},
  };
  for (const auto& row : rows) {
    RecordingView view;
    StatusDisplay display(view);
    display.ShowRegisterFrame("1");
    view.latest.clear();
    view.lines.clear();
    display.StatusUpdateEvent(row.status);
    EXPECT_EQ(Utf8(view.last("lblStato")), row.lblStato) << row.status;
    EXPECT_EQ(Utf8(view.last("tray icon")), row.icon) << row.status;
    EXPECT_EQ(Utf8(view.last("tray tooltip")), row.tooltip) << row.status;
    EXPECT_EQ(view.saw("window: brought to front"), row.to_front) << row.status;
  }
}

TEST(StatusDisplayTest, EnglishTexts) {
  RecordingView view;
  StatusDisplay display(view);
  display.setLanguageOffset(1000);
  display.ApplyCaptions();
  display.ShowRegisterFrame("3");
  EXPECT_EQ(view.last("Frame1"), "Cash Register VELKA on COM3");
  EXPECT_EQ(view.last("lblStato"), "Idle");
  EXPECT_EQ(view.last("MNU_FILE_ESCI"), "Exit");
  display.StatusUpdateEvent(11);
  EXPECT_EQ(view.last("lblStato"), "The printer cover is open");
}

TEST(StatusDisplayTest, CaptionsInTheirOrder) {
  RecordingView view;
  StatusDisplay display(view);
  display.ApplyCaptions();
  display.ShowRegisterFrame("1");
  const std::vector<std::string> expected = {
      "mnuNascondi: Nascondi",
      "MNU_FILE_ESCI: Esci ",
      "MNU_FILE_INVIA: Invia... ",
      "MNU_FILE_PERSONALIZZA: Personalizza... ",
      "Frame2: Ultimo Scontrino ",
      "lblTitCol(0): Errore: ",
      "lblTitCol(2): Numero ",
      "lblTitCol(3): Ora ",
      "lblTitCol(1): Stato: ",
      "Frame1: Registratore di cassa VELKA su COM1",
      "lblStato: La stampante \xE8 pronta",
  };
  EXPECT_EQ(view.lines, expected);
}

TEST(StatusDisplayTest, ErrorTextStaysUntilAReceiptSucceeds) {
  RecordingView view;
  StatusDisplay display(view);
  display.ShowJobFailure("Errore generico");
  EXPECT_EQ(view.last("tray icon"), "error");
  EXPECT_EQ(view.last("tray tooltip"), "Errore generico");
  display.DirectIOEvent();  // a later successful command
  EXPECT_EQ(view.last("lblStato"), "La stampante \xE8 pronta");
  EXPECT_EQ(display.errorText(), "Errore generico");
  display.ShowReceipt("18:30:15", 1234);
  EXPECT_EQ(view.last("lblErrore"), "");
  EXPECT_EQ(view.last("lblOra"), "18:30:15");
  EXPECT_EQ(view.last("lblNumero"), "1.234");
}

TEST(GroupedNumberTest, ThousandsGrouping) {
  const struct {
    std::int64_t value;
    char grouping;
    const char* text;
  } rows[] = {{0, '.', "0"},          {999, '.', "999"},          {1000, '.', "1.000"},
              {1234, '.', "1.234"},   {1234, ',', "1,234"},       {32767, '.', "32.767"},
              {-1234, '.', "-1.234"}, {1234567, ',', "1,234,567"}};
  for (const auto& row : rows) EXPECT_EQ(GroupedNumber(row.value, row.grouping), row.text);
  EXPECT_EQ(GroupingFor(0), '.');
  EXPECT_EQ(GroupingFor(1000), ',');
}

}  // namespace
}  // namespace velka::server
