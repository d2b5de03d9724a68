#include "control/automation/invoke_arguments.h"

#include <limits>
#include <stdexcept>

namespace velka {

namespace {

constexpr std::int64_t kCurrencyUnit = 10000;

// The whole-number value of an Integer, Long or Boolean variant.
bool WholeNumber(const Variant& v, std::int64_t& out) {
  switch (v.type()) {
    case VarType::Integer:
      out = v.integerValue();
      return true;
    case VarType::Long:
      out = v.longValue();
      return true;
    case VarType::Boolean:
      out = v.booleanValue() ? kVariantTrue : kVariantFalse;
      return true;
    default:
      return false;
  }
}

std::string ParamText(const ParamInfo& p, std::size_t index) {
  std::string name(p.name.begin(), p.name.end());  // member names are plain ASCII
  return "argument " + std::to_string(index + 1) + " (" + name + ")";
}

}  // namespace

HResult Coerce(const Variant& given, VarType wanted, Variant& converted) {
  if (given.type() == wanted) {
    switch (wanted) {
      case VarType::Integer:
        converted = Variant::FromInteger(given.integerValue());
        break;
      case VarType::Long:
        converted = Variant::FromLong(given.longValue());
        break;
      case VarType::Boolean:
        converted = Variant::FromBooleanBits(given.booleanBits());
        break;
      case VarType::Currency:
        converted = Variant::FromCurrency(given.currencyValue());
        break;
      case VarType::String:
        converted = Variant::FromString(given.stringValue());
        break;
      case VarType::LongArray:
        converted = Variant::FromLongArray(given.longArrayValue());
        break;
      case VarType::Empty:
        converted = Variant();
        break;
    }
    return hresult::Ok;
  }
  std::int64_t whole = 0;
  if (!WholeNumber(given, whole)) return hresult::TypeMismatch;
  switch (wanted) {
    case VarType::Long:
      if (given.type() == VarType::Integer || given.type() == VarType::Boolean) {
        converted = Variant::FromLong(static_cast<std::int32_t>(whole));
        return hresult::Ok;
      }
      return hresult::TypeMismatch;
    case VarType::Integer:
      if (whole < std::numeric_limits<std::int16_t>::min() ||
          whole > std::numeric_limits<std::int16_t>::max()) {
        return hresult::Overflow;
      }
      converted = Variant::FromInteger(static_cast<std::int16_t>(whole));
      return hresult::Ok;
    case VarType::Boolean:
      converted = Variant::FromBoolean(whole != 0);
      return hresult::Ok;
    case VarType::Currency:
      if (given.type() == VarType::Boolean) break;
      converted = Variant::FromCurrency(whole * kCurrencyUnit);
      return hresult::Ok;
    default:
      break;
  }
  return hresult::TypeMismatch;
}

HResult Arguments::Convert(const std::vector<ParamInfo>& params, std::span<Variant> args,
                           std::int32_t& bad_argument, std::string& why) {
  slots_.assign(params.size(), Slot{});
  if (args.size() > params.size()) {
    why = std::to_string(args.size()) + " arguments given, at most " +
          std::to_string(params.size()) + " taken";
    return hresult::BadParamCount;
  }
  for (std::size_t i = 0; i < params.size(); ++i) {
    const ParamInfo& p = params[i];
    const bool left_out = i >= args.size() || args[i].isEmpty();
    if (left_out && !p.optional) {
      bad_argument = static_cast<std::int32_t>(i);
      why = ParamText(p, i) + " is not optional";
      return hresult::ParamNotOptional;
    }
    const Variant& given = left_out ? p.default_value : args[i];
    if (!left_out && p.written_back && given.byRef() && given.type() != p.type) {
      bad_argument = static_cast<std::int32_t>(i);
      why = ParamText(p, i) + " is written back: pass a " + VarTypeName(p.type) +
            " variable, not a " + VarTypeName(given.type());
      return hresult::TypeMismatch;
    }
    Variant value;
    if (const HResult status = Coerce(given, p.type, value); Failed(status)) {
      bad_argument = static_cast<std::int32_t>(i);
      why =
          ParamText(p, i) + " takes " + VarTypeName(p.type) + ", not " + VarTypeName(given.type());
      if (status == hresult::Overflow) why += " out of its range";
      return status;
    }
    Slot& s = slots_[i];
    s.type = p.type;
    switch (p.type) {
      case VarType::Integer:
        s.integer = value.integerValue();
        break;
      case VarType::Long:
        s.long_value = value.longValue();
        break;
      case VarType::Boolean:
        s.boolean = value.booleanValue();
        break;
      case VarType::Currency:
        s.currency = value.currencyValue();
        break;
      case VarType::String:
        s.text = value.stringValue();
        break;
      case VarType::LongArray:
        s.array = value.longArrayValue();
        break;
      case VarType::Empty:
        break;
    }
  }
  return hresult::Ok;
}

void Arguments::WriteBack(const std::vector<ParamInfo>& params, std::span<Variant> args) const {
  for (std::size_t i = 0; i < params.size() && i < args.size() && i < slots_.size(); ++i) {
    const ParamInfo& p = params[i];
    Variant& target = args[i];
    if (!p.written_back || !target.byRef() || target.type() != p.type) continue;
    // Only Long and String parameters are written back.
    if (p.type == VarType::Long) target.setLong(slots_[i].long_value);
    if (p.type == VarType::String) target.setString(slots_[i].text);
  }
}

Arguments::Slot& Arguments::slot(std::size_t i, VarType type) {
  if (i >= slots_.size() || slots_[i].type != type) {
    throw std::logic_error("member table asks for argument " + std::to_string(i + 1) + " as " +
                           VarTypeName(type));
  }
  return slots_[i];
}

std::int16_t& Arguments::Integer(std::size_t i) {
  return slot(i, VarType::Integer).integer;
}
std::int32_t& Arguments::Long(std::size_t i) {
  return slot(i, VarType::Long).long_value;
}
bool& Arguments::Boolean(std::size_t i) {
  return slot(i, VarType::Boolean).boolean;
}
std::int64_t& Arguments::Currency(std::size_t i) {
  return slot(i, VarType::Currency).currency;
}
std::u16string& Arguments::String(std::size_t i) {
  return slot(i, VarType::String).text;
}
std::vector<std::int32_t>& Arguments::LongArray(std::size_t i) {
  return slot(i, VarType::LongArray).array;
}

}  // namespace velka
