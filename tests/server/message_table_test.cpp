// The message table: exact texts with their trailing blanks, the two languages, and the
// empty text for IDs the table lacks.
#include <gtest/gtest.h>

#include "platform/single_byte_text.h"
#include "server/resources/message_table.h"

namespace velka::server {
namespace {

TEST(MessageTableTest, Lookup) {
  const struct {
    std::int64_t id;
    const char* utf8;
  } rows[] = {
      {501, "Nascondi"},
      {1501, "Hide"},
      {502, "Stato: "},
      {504, "Ultimo Scontrino "},
      {1504, "Last Ticket"},
      {510, "Registratore di cassa VELKA su "},
      {1510, "Cash Register VELKA on "},
      {526, "Velocità di trasmissione "},
      {550, "Questo programma è già stato caricato."},
      {1550, "Questo programma è già stato caricato"},
      {551, "Impossibile caricare il programma gestione cassa."},
      {1551, "Impossibile caricare il programma gestione cassa."},
      {554, "La stampante è pronta"},
      {1554, "Idle"},
      {1572, "Timeout waiting fo a response"},
      {1584, "The requested operation could not be executed in the printer's current state"},
      {17, "Errore generico"},
      {70, "Errore generico"},
      {79, "Errore generico"},
      {103, "Il coperchio della stampante è aperto"},
      {112, "Errore generico"},
      {201, "Errore nella lunghezza dati"},
      {909, "Errore dati MF"},
      {534, "Impossibile scrivere il file "},
      {1534, "Cannot write the file "},
      {1535, "no link"},
      // Absent IDs: gaps, register texts in English, the English fall-back, out of range.
      {0, ""},
      {50, ""},
      {80, ""},
      {116, ""},
      {517, ""},
      {560, ""},
      {1017, ""},
      {1070, ""},
      {1112, ""},
      {1909, ""},
      {-1, ""},
      {65536 + 501, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SingleByteToUtf8(LoadString(row.id)), row.utf8) << row.id;
  }
}

TEST(MessageTableTest, TextsAreSingleByte) {
  EXPECT_EQ(LoadString(554), "La stampante \xE8 pronta");
}

TEST(MessageTableTest, MessageTextAddsTheLanguageOffset) {
  EXPECT_EQ(MessageText(kItalianOffset, 509), "Esci ");
  EXPECT_EQ(MessageText(kEnglishOffset, 509), "Exit");
  EXPECT_EQ(MessageText(kEnglishOffset, 112), "");
}

}  // namespace
}  // namespace velka::server
