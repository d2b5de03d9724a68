#pragma once
// The entry checks that every method talking to the register makes before its own argument
// checks: clear ResultCodeExtended, test CTS, test DeviceOpen, test PrinterState. One rule per
// row of the table of methods; CheckEntry runs a rule.
#include <cstdint>
#include <initializer_list>

namespace velka {

struct ControlState;
class SerialPort;

// A set of PrinterState values (1..31); empty means any state.
class StateSet {
 public:
  constexpr StateSet() = default;
  constexpr StateSet(std::initializer_list<int> states) {
    for (int s : states) bits_ |= 1u << s;
  }
  constexpr bool any() const { return bits_ == 0; }
  constexpr bool contains(std::int32_t state) const {
    return any() || (state >= 0 && state < 32 && (bits_ & (1u << state)) != 0);
  }

 private:
  std::uint32_t bits_ = 0;
};

struct EntryRule {
  bool clears_extended = false;      // ResultCodeExtended := 0 (after a passing CTS test)
  bool cts_first = false;            // 107 when CTS is not asserted
  bool device_check = false;         // 101 when the device is not open
  StateSet states;                   // PrinterState values accepted
  bool wrong_state_extended = true;  // wrong state: 114 with 204; false: 106
  // The state test runs even when the device test failed and its code wins (the
  // Begin/End methods of documents); otherwise a failing device test decides.
  bool state_wins = false;
  bool stores_result = true;  // the method's final result goes to ResultCode
};

namespace entry {
inline constexpr EntryRule Report{true, false, true, {1}, true, false, true};
inline constexpr EntryRule SetHeaderLine = Report;
inline constexpr EntryRule GetDate{true, false, true, {1}, false, false, true};
inline constexpr EntryRule GetData{true, true, true, {1}, false, false, true};
inline constexpr EntryRule SetVatTable{true, false, true, {}, true, false, true};
inline constexpr EntryRule SetDate{true, false, false, {}, true, false, true};
inline constexpr EntryRule SetVatValue{false, false, false, {}, true, false, true};
inline constexpr EntryRule DirectIO{false, true, false, {}, true, false, false};
inline constexpr EntryRule ClearError{true, false, false, {}, true, false, false};
inline constexpr EntryRule PeriodicTotals{false, false, false, {}, true, false, false};
// Receipt and non-fiscal methods: the device test decides over the state test.
constexpr EntryRule Receipt(StateSet states) {
  return {true, false, true, states, true, false, true};
}
// BeginFiscalReceipt, EndFiscalReceipt, BeginNonFiscal, EndNonFiscal: the state test last.
constexpr EntryRule DocumentBoundary(StateSet states) {
  return {true, false, true, states, true, true, true};
}
}  // namespace entry

// Runs the rule: returns 0 when every test passed, else the code of the failing test (and
// sets ResultCodeExtended to 204 for a wrong state when the rule says so). ResultCode is not
// touched: the method stores its final result itself when its rule says so.
std::int32_t CheckEntry(const EntryRule& rule, ControlState& state, SerialPort& port);

}  // namespace velka
