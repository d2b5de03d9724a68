#include "control/automation/com/com_arguments.h"

#include <oleauto.h>

namespace velka::com {

namespace {

// Bounds on what a caller hands in: no member takes more, no array of the interface is longer.
constexpr UINT kMaxArguments = 64;
constexpr LONG kMaxArrayCount = 1024 * 1024;

std::u16string TextOf(BSTR text) {
  if (!text) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
}

BSTR NewText(const std::u16string& text) {
  return ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

// The Longs of a one-dimensional array of Long or of Variants holding numbers.
HRESULT ReadLongArray(SAFEARRAY* array, std::vector<std::int32_t>& out) {
  out.clear();
  if (!array) return S_OK;
  if (::SafeArrayGetDim(array) != 1) return DISP_E_TYPEMISMATCH;
  VARTYPE element = VT_EMPTY;
  if (FAILED(::SafeArrayGetVartype(array, &element))) return DISP_E_TYPEMISMATCH;
  LONG low = 0, high = -1;
  ::SafeArrayGetLBound(array, 1, &low);
  ::SafeArrayGetUBound(array, 1, &high);
  if (high - low + 1 > kMaxArrayCount) return DISP_E_OVERFLOW;
  for (LONG i = low; i <= high; ++i) {
    VARIANT item;
    ::VariantInit(&item);
    HRESULT status = S_OK;
    if (element == VT_I4) {
      LONG value = 0;
      status = ::SafeArrayGetElement(array, &i, &value);
      item.vt = VT_I4;
      item.lVal = value;
    } else if (element == VT_VARIANT) {
      status = ::SafeArrayGetElement(array, &i, &item);
      if (SUCCEEDED(status)) status = ::VariantChangeType(&item, &item, 0, VT_I4);
    } else {
      status = DISP_E_TYPEMISMATCH;
    }
    if (FAILED(status)) {
      ::VariantClear(&item);
      return status == DISP_E_OVERFLOW ? status : DISP_E_TYPEMISMATCH;
    }
    out.push_back(item.lVal);
    ::VariantClear(&item);
  }
  return S_OK;
}

SAFEARRAY* NewLongArray(const std::vector<std::int32_t>& values) {
  SAFEARRAY* array = ::SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(values.size()));
  if (!array) return nullptr;
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    LONG value = values[static_cast<std::size_t>(i)];
    ::SafeArrayPutElement(array, &i, &value);
  }
  return array;
}

bool IsMissing(const VARIANT& v) {
  return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

}  // namespace

VARTYPE ComTypeOf(VarType type) {
  switch (type) {
    case VarType::Integer:
      return VT_I2;
    case VarType::Long:
      return VT_I4;
    case VarType::Currency:
      return VT_CY;
    case VarType::String:
      return VT_BSTR;
    case VarType::Boolean:
      return VT_BOOL;
    case VarType::LongArray:
      return VT_ARRAY | VT_I4;
    case VarType::Empty:
      break;
  }
  return VT_EMPTY;
}

ComArguments::~ComArguments() {
  for (VARIANT& v : converted_) ::VariantClear(&v);
}

HRESULT ComArguments::Read(const MemberInfo* member, const DISPPARAMS& params, UINT& arg_error) {
  if (params.cArgs > kMaxArguments || (params.cArgs > 0 && !params.rgvarg) ||
      (params.cNamedArgs > 0 && !params.rgdispidNamedArgs) || params.cNamedArgs > params.cArgs) {
    return E_INVALIDARG;
  }
  // Positions in declaration order: the positional arguments come last in rgvarg, reversed;
  // named ones say their position by their identifier (a put's value is named
  // DISPID_PROPERTYPUT and is its only parameter).
  const UINT positional = params.cArgs - params.cNamedArgs;
  std::vector<VARIANT*> by_position(positional, nullptr);
  std::vector<UINT> rg_index(positional, 0);
  for (UINT i = 0; i < positional; ++i) {
    by_position[i] = &params.rgvarg[params.cArgs - 1 - i];
    rg_index[i] = params.cArgs - 1 - i;
  }
  for (UINT n = 0; n < params.cNamedArgs; ++n) {
    const DISPID name = params.rgdispidNamedArgs[n];
    const std::size_t position =
        name == DISPID_PROPERTYPUT ? std::size_t{0} : static_cast<std::size_t>(name);
    if (name < 0 && name != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
    // A put on a member without a put entry is refused by the dispatcher, by its own status.
    if (name != DISPID_PROPERTYPUT && (!member || position >= member->params.size())) {
      return DISP_E_PARAMNOTFOUND;
    }
    if (position >= by_position.size()) {
      by_position.resize(position + 1, nullptr);
      rg_index.resize(position + 1, 0);
    }
    if (by_position[position]) return DISP_E_PARAMNOTFOUND;  // given twice
    by_position[position] = &params.rgvarg[n];
    rg_index[position] = n;
  }
  arguments_.assign(by_position.size(), Variant());
  for (std::size_t i = 0; i < by_position.size(); ++i) {
    slots_.emplace_back();
    if (!by_position[i]) continue;  // left out: Empty
    const ParamInfo* param = member && i < member->params.size() ? &member->params[i] : nullptr;
    const HRESULT status = ReadOne(param, *by_position[i], slots_.back(), arguments_[i]);
    if (FAILED(status)) {
      arg_error = rg_index[i];
      return status;
    }
  }
  return S_OK;
}

HRESULT ComArguments::ReadOne(const ParamInfo* param, VARIANT& given, Slot& slot, Variant& out) {
  VARIANT* value = &given;
  if (given.vt == (VT_BYREF | VT_VARIANT)) {
    if (!given.pvarVal) return E_INVALIDARG;
    value = given.pvarVal;
    slot.through_variant_reference = true;
  }
  if (IsMissing(*value) && !slot.through_variant_reference) return S_OK;  // left out
  const bool typed_reference = (value->vt & VT_BYREF) != 0;
  const VARTYPE wanted = param ? ComTypeOf(param->type) : VARTYPE{VT_EMPTY};
  slot.source = value;
  slot.declared = wanted;

  // The value as the declared type: as it is when it has that type already, else converted
  // the way type-library dispatch converts. Unknown members keep what was given.
  VARIANT plain;
  ::VariantInit(&plain);
  const VARTYPE given_type = static_cast<VARTYPE>(value->vt & ~VT_BYREF);
  if (wanted == VT_EMPTY || given_type == wanted) {
    if (FAILED(::VariantCopyInd(&plain, value))) return DISP_E_TYPEMISMATCH;
  } else if (wanted == (VT_ARRAY | VT_I4)) {
    if (!(given_type & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    if (FAILED(::VariantCopyInd(&plain, value))) return DISP_E_TYPEMISMATCH;
  } else {
    // A typed reference of another type cannot take the written-back value.
    if (typed_reference && param && param->written_back) return DISP_E_TYPEMISMATCH;
    const HRESULT status = ::VariantChangeType(&plain, value, 0, wanted);
    if (FAILED(status)) {
      ::VariantClear(&plain);
      return status == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    }
  }
  converted_.push_back(plain);
  const VARIANT& v = converted_.back();

  // References (typed, or to a VARIANT) are handed on as references to the slot, so that the
  // dispatcher writes back into it; values as values.
  const bool by_reference = typed_reference || slot.through_variant_reference;
  switch (v.vt) {
    case VT_I2:
      slot.int16 = v.iVal;
      out = by_reference ? Variant::RefInteger(&slot.int16) : Variant::FromInteger(v.iVal);
      return S_OK;
    case VT_I4:
      slot.int32 = v.lVal;
      out = by_reference ? Variant::RefLong(&slot.int32) : Variant::FromLong(v.lVal);
      return S_OK;
    case VT_BOOL:
      slot.int16 = v.boolVal;
      out = by_reference ? Variant::RefBoolean(&slot.int16) : Variant::FromBooleanBits(v.boolVal);
      return S_OK;
    case VT_CY:
      slot.int64 = v.cyVal.int64;
      out = by_reference ? Variant::RefCurrency(&slot.int64) : Variant::FromCurrency(v.cyVal.int64);
      return S_OK;
    case VT_BSTR:
      slot.text = TextOf(v.bstrVal);
      out = by_reference ? Variant::RefString(&slot.text) : Variant::FromString(slot.text);
      return S_OK;
    default:
      break;
  }
  if (v.vt & VT_ARRAY) {
    const HRESULT status = ReadLongArray(v.parray, slot.array);
    if (FAILED(status)) return status;
    out = by_reference ? Variant::RefLongArray(&slot.array) : Variant::FromLongArray(slot.array);
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;  // an object, a date, a decimal with no declared type ...
}

void ComArguments::WriteBack(const MemberInfo* member) {
  if (!member) return;
  for (std::size_t i = 0; i < member->params.size() && i < slots_.size(); ++i) {
    const ParamInfo& p = member->params[i];
    Slot& s = slots_[i];
    if (!p.written_back || !s.source) continue;
    VARIANT* target = s.source;
    if (s.through_variant_reference) {
      // A reference to a VARIANT takes the new value with the declared type.
      ::VariantClear(target);
      if (p.type == VarType::Long) {
        target->vt = VT_I4;
        target->lVal = s.int32;
      } else if (p.type == VarType::String) {
        target->vt = VT_BSTR;
        target->bstrVal = NewText(s.text);
      }
      continue;
    }
    if (target->vt == (VT_BYREF | VT_I4) && target->plVal) *target->plVal = s.int32;
    if (target->vt == (VT_BYREF | VT_BSTR) && target->pbstrVal) {
      ::SysFreeString(*target->pbstrVal);
      *target->pbstrVal = NewText(s.text);
    }
  }
}

void ResultToVariant(const Variant& result, VARIANT* out) {
  if (!out) return;
  ::VariantInit(out);
  switch (result.type()) {
    case VarType::Integer:
      out->vt = VT_I2;
      out->iVal = result.integerValue();
      break;
    case VarType::Long:
      out->vt = VT_I4;
      out->lVal = result.longValue();
      break;
    case VarType::Boolean:
      out->vt = VT_BOOL;
      out->boolVal = result.booleanValue() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VarType::Currency:
      out->vt = VT_CY;
      out->cyVal.int64 = result.currencyValue();
      break;
    case VarType::String:
      out->vt = VT_BSTR;
      out->bstrVal = NewText(result.stringValue());
      break;
    case VarType::LongArray:
      out->vt = VT_ARRAY | VT_I4;
      out->parray = NewLongArray(result.longArrayValue());
      break;
    case VarType::Empty:
      break;
  }
}

void EventArgumentsFrom(std::vector<Variant>& args, std::vector<EventArgument>& out) {
  // DISPPARAMS take the arguments last to first.
  out.assign(args.size(), EventArgument{});
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Variant& a = args[i];
    EventArgument& e = out[args.size() - 1 - i];
    ::VariantInit(&e.value);
    if (a.byRef() && a.type() == VarType::Long) {
      e.long_storage = a.longValue();
      e.value.vt = VT_BYREF | VT_I4;
      e.value.plVal = &e.long_storage;
    } else if (a.byRef() && a.type() == VarType::String) {
      e.text_storage = NewText(a.stringValue());
      e.value.vt = VT_BYREF | VT_BSTR;
      e.value.pbstrVal = &e.text_storage;
    } else {
      ResultToVariant(a, &e.value);
    }
  }
}

void EventArgumentsBack(std::vector<EventArgument>& in, std::vector<Variant>& args) {
  for (std::size_t i = 0; i < args.size() && i < in.size(); ++i) {
    Variant& a = args[i];
    const EventArgument& e = in[args.size() - 1 - i];
    if (!a.byRef()) continue;
    if (a.type() == VarType::Long) a.setLong(e.long_storage);
    if (a.type() == VarType::String) a.setString(TextOf(e.text_storage));
  }
}

void ClearEventArguments(std::vector<EventArgument>& args) {
  for (EventArgument& e : args) {
    if (e.value.vt & VT_BYREF) {
      ::SysFreeString(e.text_storage);
      e.text_storage = nullptr;
    } else {
      ::VariantClear(&e.value);
    }
  }
}

}  // namespace velka::com
