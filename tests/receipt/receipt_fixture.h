#pragma once
// The receipt methods called with plain values, on a control opened through ControlFixture.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/control_fixture.h"

namespace velka::testing {

// whole units and ten-thousandths: Cu(1, 5000) is 1.5.
constexpr Currency Cu(std::int64_t whole, std::int64_t ten_thousandths = 0) {
  return whole * 10000 + ten_thousandths;
}

class ReceiptFixture : public ControlFixture {
 protected:
  void SetUp() override { open(); }

 public:  // the test tables call these through a reference to the fixture
  std::int32_t Begin() {
    bool header = false;
    return control->BeginFiscalReceipt(header);
  }
  std::int32_t End() {
    bool header = false;
    return control->EndFiscalReceipt(header);
  }
  std::int32_t Item(const std::string& description, Currency price, std::int32_t quantity = 1,
                    std::int32_t vat = 0) {
    std::u16string text = U(description), unit;
    std::int32_t unit_price = 0;
    last_quantity = quantity;
    return control->PrintRecItem(text, price, last_quantity, vat, unit_price, unit);
  }
  std::int32_t ItemAdjustment(std::int32_t type, const std::string& description, Currency amount) {
    std::u16string text = U(description);
    std::int32_t vat = 0;
    return control->PrintRecItemAdjustment(type, text, amount, vat);
  }
  std::int32_t SubtotalAdjustment(std::int32_t type, const std::string& description,
                                  Currency amount) {
    std::u16string text = U(description);
    return control->PrintRecSubtotalAdjustment(type, text, amount);
  }
  std::int32_t Message(const std::string& message) {
    std::u16string text = U(message);
    return control->PrintRecMessage(text);
  }
  std::int32_t Subtotal(Currency amount = 0) { return control->PrintRecSubtotal(amount); }
  std::int32_t Refund(const std::string& description, Currency amount, std::int32_t vat = 0) {
    std::u16string text = U(description);
    return control->PrintRecRefund(text, amount, vat);
  }
  std::int32_t VoidItem(const std::string& description, Currency amount, std::int32_t quantity,
                        std::int32_t adjustment_type = 0, std::int32_t vat = 0) {
    std::u16string text = U(description);
    Currency adjustment = 0;
    last_quantity = quantity;
    return control->PrintRecVoidItem(text, amount, last_quantity, adjustment_type, adjustment, vat);
  }
  std::int32_t Total(Currency total, Currency payment, const std::string& description) {
    std::u16string text = U(description);
    return control->PrintRecTotal(total, payment, text);
  }
  std::int32_t NotPaid(const std::string& description, Currency amount) {
    std::u16string text = U(description);
    return control->PrintRecNotPaid(text, amount);
  }
  std::int32_t Void(const std::string& description = "") {
    std::u16string text = U(description);
    return control->PrintRecVoid(text);
  }
  std::int32_t Normal(const std::u16string& data, std::int32_t station = 2) {
    return control->PrintNormal(station, data);
  }

  void setPrinterState(std::int32_t value) { control->state().PrinterState = value; }
  // The register answers the receipt status request with these characters 5 and 6.
  void answerStatusWith(const std::string& characters_5_6) {
    answerFor = [characters_5_6](const std::string& command) {
      return command == "<</?s" ? R::Frame("s0000" + characters_5_6 + "000123") : R::Status();
    };
  }

  std::int32_t last_quantity = 0;  // Quantity as the method left it
};

}  // namespace velka::testing
