#pragma once
// The arguments of one IDispatch::Invoke as the member table's dispatcher takes them, and the
// way back: VARIANTs (by value, by reference, references to a VARIANT, named arguments, the
// property-put value) become the control's variants in declaration order, coerced with
// VariantChangeType to each parameter's declared type as type-library dispatch does; after
// the call the parameters the member writes back are stored into the caller's references,
// and the result becomes a VARIANT.
#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "automation/dispatch.h"

namespace velka::com {

class ComArguments {
 public:
  ComArguments() = default;
  ComArguments(const ComArguments&) = delete;
  ComArguments& operator=(const ComArguments&) = delete;
  ~ComArguments();

  // Reads params for the member (null when the identifier is unknown: the dispatcher then
  // refuses the call). On a refusal returns its status and sets arg_error (an index into
  // params->rgvarg, as COM reports it).
  HRESULT Read(const MemberInfo* member, const DISPPARAMS& params, UINT& arg_error);

  std::vector<Variant>& arguments() { return arguments_; }

  // Stores the values of by-reference parameters back where the caller's references point.
  void WriteBack(const MemberInfo* member);

 private:
  // One argument as read, and where it came from.
  struct Slot {
    VARIANT* source = nullptr;  // the caller's VARIANT (by value, or the referred one)
    VARTYPE declared = VT_EMPTY;
    bool through_variant_reference = false;  // VT_BYREF | VT_VARIANT
    std::int16_t int16 = 0;
    std::int32_t int32 = 0;
    std::int64_t int64 = 0;
    std::u16string text;
    std::vector<std::int32_t> array;
  };
  HRESULT ReadOne(const ParamInfo* param, VARIANT& given, Slot& slot, Variant& out);

  std::deque<Slot> slots_;  // stable addresses: variants refer into them
  std::vector<Variant> arguments_;
  std::vector<VARIANT> converted_;  // values made by VariantChangeType, cleared at the end
};

// The member's result as a VARIANT (VT_EMPTY for none).
void ResultToVariant(const Variant& result, VARIANT* out);

// A velka variant handed to an event sink: by value, or by reference to storage the caller
// keeps (for the event arguments the host may write).
struct EventArgument {
  VARIANT value{};
  LONG long_storage = 0;
  BSTR text_storage = nullptr;
};
void EventArgumentsFrom(std::vector<Variant>& args, std::vector<EventArgument>& out);
void EventArgumentsBack(std::vector<EventArgument>& in, std::vector<Variant>& args);
void ClearEventArguments(std::vector<EventArgument>& args);

// The COM type a member-table type travels as.
VARTYPE ComTypeOf(VarType type);

}  // namespace velka::com
