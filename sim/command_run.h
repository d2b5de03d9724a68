#pragma once
// One command executed on a copy of the register's state (internal to the model). Each
// command checks everything first and then changes the copy; `error` set means the copy is
// thrown away.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/command_fields.h"
#include "sim/register_model.h"

namespace velka::sim {

class CommandRun {
 public:
  CommandRun(RegisterState& state, const std::vector<std::string>& journal,
             const std::vector<ZRecord>& fiscal_memory, Millis now_ms);

  void run(std::string_view command);

  // Set by the model: positions 1-2 of the "<</?s" answer ("00" ready, "01" cover open,
  // "02" paper out, "03" error 105).
  std::string condition_code = "00";

  // Results.
  int error = 0;                     // a register error number
  std::vector<Answer> answers;       // empty: a plain "O" status
  std::vector<std::string> paper;    // everything printed
  std::vector<std::string> journal;  // what the electronic journal keeps of it
  bool closed_receipt = false;       // the command ended a receipt ("4" at offset 14)
  bool clears_error = false;         // =K
  bool clear_journal = false;        // a Z report closed the day
  std::optional<ZRecord> z_record;
  bool printed() const { return !paper.empty(); }

 private:
  bool fail(int number) {
    if (error == 0) error = number;
    return false;
  }
  void print(const std::string& line, bool fiscal = true);
  void printHeader();
  void printFooter(const std::string& document);
  void finishEndingReceipt();
  bool requireSalesKey();
  bool requireNoDocument();
  bool checkText(const std::optional<std::string>& text, std::size_t limit);
  // A parsed amount or count that must be above 0 and at most max: fails with the parse
  // error, "below the limit" for 0 or less, or over_error above max.
  bool checkPositive(int parse_error, std::int64_t value, std::int64_t max, int over_error);

  // receipt_commands.cpp
  void sale(std::string_view vat_code, const CommandFields& f);
  bool openReceipt();
  void sellItem(int vat, Hundredths64 price, int quantity, const std::string& description);
  void refundItem(int vat, Hundredths64 amount, const std::string& description);
  void voidItem(int vat, Hundredths64 price, int quantity, const std::string& description);
  void adjustment(bool percent, bool surcharge, const CommandFields& f);
  void subtotal(const CommandFields& f);
  void payment(std::string_view type_code, const CommandFields& f);
  void closeReceipt();
  void cancelReceipt(const CommandFields& f);
  void saleMode(SaleMode mode);
  void messageLine(const CommandFields& f);
  void openNonFiscal();
  void closeNonFiscal();

  // report_commands.cpp
  void keyPosition(std::string_view code);
  void dayReport();
  void printDayCounters();
  void rangeKind(bool by_date);
  void rangeBound(std::string_view bound);
  void rangeReport();

  // setting_commands.cpp
  void setting(const CommandFields& f, std::string_view command);
  void headerLine(const CommandFields& f);
  void vatRate(const CommandFields& f);
  void clock(const CommandFields& f);

  // data_requests.cpp
  void request(std::string_view code);
  std::string statusData() const;
  void journalDump();
  void fiscalMemoryLines();

  RegisterState& s_;
  const std::vector<std::string>& journal_memory_;
  const std::vector<ZRecord>& fiscal_memory_;
  Millis now_ms_;
  LocalDateTime now_;
};

// Names of payment types 1..5 as printed.
const char* PaymentName(int type);

}  // namespace velka::sim
