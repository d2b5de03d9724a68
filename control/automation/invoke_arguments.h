#pragma once
// The arguments of one call, converted to the C++ types of the member's parameters.
//
// Every parameter gets a slot of its own: the given argument, coerced to the parameter's type,
// or the parameter's default when the argument was left out. The member works on the slots,
// so it never touches the caller's storage; afterwards WriteBack copies the slots of the
// parameters that the member writes back into the caller's by-reference variables.
//
// Coercions (the ones automation clients expect and that lose nothing):
//   to Long:     Long; Integer; Boolean (True = -1, False = 0).
//   to Integer:  Integer; Long within -32768..32767 (else Overflow); Boolean.
//   to Boolean:  Boolean, Integer or Long: any non-zero value is True.
//   to Currency: Currency; Integer and Long as whole units (7 becomes 7.0000).
//   to String, to array of Long: only the same type.
// Everything else is a TypeMismatch: no text is read as a number, no number written as text,
// and no Currency is rounded to a Long. A parameter that is written back, when given by
// reference, must refer to a variable of its own type (its new value has to fit there); given
// by value it is accepted and its new value dropped.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "automation/hresult.h"
#include "automation/type_info.h"
#include "automation/variant.h"

namespace velka {

class Arguments {
 public:
  // Fills one slot per parameter from args (declaration order). On a refusal returns its
  // status and sets bad_argument and why.
  HResult Convert(const std::vector<ParamInfo>& params, std::span<Variant> args,
                  std::int32_t& bad_argument, std::string& why);
  // Copies the written-back slots into the caller's by-reference variables.
  void WriteBack(const std::vector<ParamInfo>& params, std::span<Variant> args) const;

  // The slots, by parameter index, for the member's call. Asking for a slot of another type
  // than the parameter's is a fault of the table and throws std::logic_error.
  std::int16_t& Integer(std::size_t i);
  std::int32_t& Long(std::size_t i);
  bool& Boolean(std::size_t i);
  std::int64_t& Currency(std::size_t i);
  std::u16string& String(std::size_t i);
  std::vector<std::int32_t>& LongArray(std::size_t i);

 private:
  struct Slot {
    VarType type = VarType::Empty;
    std::int16_t integer = 0;
    std::int32_t long_value = 0;
    bool boolean = false;
    std::int64_t currency = 0;
    std::u16string text;
    std::vector<std::int32_t> array;
  };
  Slot& slot(std::size_t i, VarType type);
  std::vector<Slot> slots_;
};

// Converts one value (by value or by reference) to a value of type wanted by the rules above:
// Ok with the value in converted, or TypeMismatch / Overflow.
HResult Coerce(const Variant& given, VarType wanted, Variant& converted);

}  // namespace velka
