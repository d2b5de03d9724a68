#pragma once
// Variant: one argument or result of an automation call.
//
// It holds nothing (Empty: a left-out optional argument), or a value of one of the automation
// types of the control: Integer (16-bit), Long (32-bit), Boolean (16-bit, True = -1; any
// non-zero value reads as True), Currency (64-bit count of ten-thousandths), String (UTF-16)
// or array of Long. Each can instead refer to the caller's storage (by reference): a member
// that writes a parameter back writes through that reference, and reading the variant reads
// the caller's current value. The referred storage must outlive the call.
//
// The type numbers are those automation gives these types, so that a native binding can map
// them one to one. Header-only: hosts and the control library share it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velka {

enum class VarType : std::uint16_t {
  Empty = 0,
  Integer = 2,
  Long = 3,
  Currency = 6,
  String = 8,
  Boolean = 11,
  LongArray = 0x2003,
};

// The type's name as a type-library viewer writes it ("Long", "String", "array of Long").
inline const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::Empty:
      return "Empty";
    case VarType::Integer:
      return "Integer";
    case VarType::Long:
      return "Long";
    case VarType::Currency:
      return "Currency";
    case VarType::String:
      return "String";
    case VarType::Boolean:
      return "Boolean";
    case VarType::LongArray:
      return "array of Long";
  }
  return "?";
}

inline constexpr std::int16_t kVariantTrue = -1;
inline constexpr std::int16_t kVariantFalse = 0;

class Variant {
 public:
  Variant() = default;

  static Variant FromInteger(std::int16_t value) { return Scalar(VarType::Integer, value); }
  static Variant FromLong(std::int32_t value) { return Scalar(VarType::Long, value); }
  static Variant FromBoolean(bool value) {
    return Scalar(VarType::Boolean, value ? kVariantTrue : kVariantFalse);
  }
  // A Boolean as its 16 bits: non-zero reads as True.
  static Variant FromBooleanBits(std::int16_t bits) { return Scalar(VarType::Boolean, bits); }
  static Variant FromCurrency(std::int64_t ten_thousandths) {
    return Scalar(VarType::Currency, ten_thousandths);
  }
  static Variant FromString(std::u16string text) {
    Variant v;
    v.type_ = VarType::String;
    v.text_ = std::move(text);
    return v;
  }
  static Variant FromLongArray(std::vector<std::int32_t> values) {
    Variant v;
    v.type_ = VarType::LongArray;
    v.array_ = std::move(values);
    return v;
  }

  static Variant RefInteger(std::int16_t* storage) { return Ref(VarType::Integer, storage); }
  static Variant RefLong(std::int32_t* storage) { return Ref(VarType::Long, storage); }
  static Variant RefBoolean(std::int16_t* storage) { return Ref(VarType::Boolean, storage); }
  static Variant RefCurrency(std::int64_t* storage) { return Ref(VarType::Currency, storage); }
  static Variant RefString(std::u16string* storage) { return Ref(VarType::String, storage); }
  static Variant RefLongArray(std::vector<std::int32_t>* storage) {
    return Ref(VarType::LongArray, storage);
  }

  VarType type() const { return type_; }
  bool byRef() const { return ref_ != nullptr; }
  bool isEmpty() const { return type_ == VarType::Empty; }

  // Readers: the value (through the reference when by reference). Each is meant for its own
  // type; called on another type it gives 0, False or an empty text.
  std::int16_t integerValue() const {
    return type_ == VarType::Integer
               ? (ref_ ? *static_cast<std::int16_t*>(ref_) : static_cast<std::int16_t>(number_))
               : 0;
  }
  std::int32_t longValue() const {
    return type_ == VarType::Long
               ? (ref_ ? *static_cast<std::int32_t*>(ref_) : static_cast<std::int32_t>(number_))
               : 0;
  }
  std::int16_t booleanBits() const {
    return type_ == VarType::Boolean
               ? (ref_ ? *static_cast<std::int16_t*>(ref_) : static_cast<std::int16_t>(number_))
               : kVariantFalse;
  }
  bool booleanValue() const { return booleanBits() != 0; }
  std::int64_t currencyValue() const {
    return type_ == VarType::Currency ? (ref_ ? *static_cast<std::int64_t*>(ref_) : number_) : 0;
  }
  const std::u16string& stringValue() const {
    static const std::u16string kNone;
    if (type_ != VarType::String) return kNone;
    return ref_ ? *static_cast<std::u16string*>(ref_) : text_;
  }
  const std::vector<std::int32_t>& longArrayValue() const {
    static const std::vector<std::int32_t> kNone;
    if (type_ != VarType::LongArray) return kNone;
    return ref_ ? *static_cast<std::vector<std::int32_t>*>(ref_) : array_;
  }

  // Writers: store a new value of the variant's own type (through the reference when by
  // reference). They return false, and change nothing, on a variant of another type.
  bool setLong(std::int32_t value) {
    if (type_ != VarType::Long) return false;
    if (ref_) {
      *static_cast<std::int32_t*>(ref_) = value;
    } else {
      number_ = value;
    }
    return true;
  }
  bool setString(std::u16string value) {
    if (type_ != VarType::String) return false;
    if (ref_) {
      *static_cast<std::u16string*>(ref_) = std::move(value);
    } else {
      text_ = std::move(value);
    }
    return true;
  }

  // Same type, same reference (or same value for variants that hold their own).
  friend bool operator==(const Variant& a, const Variant& b) {
    if (a.type_ != b.type_ || a.ref_ != b.ref_) return false;
    if (a.ref_) return true;
    return a.number_ == b.number_ && a.text_ == b.text_ && a.array_ == b.array_;
  }

 private:
  static Variant Scalar(VarType type, std::int64_t value) {
    Variant v;
    v.type_ = type;
    v.number_ = value;
    return v;
  }
  static Variant Ref(VarType type, void* storage) {
    Variant v;
    if (storage == nullptr) return v;  // a null reference is no argument at all
    v.type_ = type;
    v.ref_ = storage;
    return v;
  }

  VarType type_ = VarType::Empty;
  std::int64_t number_ = 0;  // Integer, Long, Boolean bits, Currency
  std::u16string text_;
  std::vector<std::int32_t> array_;
  void* ref_ = nullptr;
};

}  // namespace velka
