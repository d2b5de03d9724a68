#pragma once
// Statuses of the automation layer, in the 32-bit form automation uses (negative = failure),
// with the values automation clients know, so that a later native binding can hand them on
// unchanged. The control's own result codes (result_codes.h) are something else: they are
// the Long results of the members, and a member that returns one has succeeded as a call.
#include <cstdint>
#include <string>

namespace velka {

using HResult = std::int32_t;

namespace hresult {
constexpr HResult Code(std::uint32_t bits) {
  return static_cast<HResult>(bits);
}
inline constexpr HResult Ok = 0;
inline constexpr HResult False = 1;  // success, nothing done (DllCanUnloadNow: still in use)

inline constexpr HResult NotImplemented = Code(0x80004001);
inline constexpr HResult NoInterface = Code(0x80004002);
inline constexpr HResult Pointer = Code(0x80004003);  // a required pointer was null
inline constexpr HResult Fail = Code(0x80004005);
inline constexpr HResult Unexpected = Code(0x8000FFFF);
inline constexpr HResult OutOfMemory = Code(0x8007000E);
inline constexpr HResult InvalidArgument = Code(0x80070057);

// Invoke and GetIDsOfNames.
inline constexpr HResult UnknownInterface = Code(0x80020001);
inline constexpr HResult MemberNotFound = Code(0x80020003);
inline constexpr HResult ParamNotFound = Code(0x80020004);
inline constexpr HResult TypeMismatch = Code(0x80020005);
inline constexpr HResult UnknownName = Code(0x80020006);
inline constexpr HResult NoNamedArgs = Code(0x80020007);
inline constexpr HResult BadVarType = Code(0x80020008);
inline constexpr HResult Exception = Code(0x80020009);  // the member failed unexpectedly
inline constexpr HResult Overflow = Code(0x8002000A);
inline constexpr HResult BadIndex = Code(0x8002000B);
inline constexpr HResult BadParamCount = Code(0x8002000E);
inline constexpr HResult ParamNotOptional = Code(0x8002000F);
// A put on a property that has only a get entry.
inline constexpr HResult ReadOnlyProperty = Code(0x800A017F);

// A call from a thread other than the one that created the object.
inline constexpr HResult WrongThread = Code(0x8001010E);

// Events.
inline constexpr HResult NoConnection = Code(0x80040200);
inline constexpr HResult AdviseLimit = Code(0x80040201);

// Class factory and registration.
inline constexpr HResult NoAggregation = Code(0x80040110);
inline constexpr HResult ClassNotAvailable = Code(0x80040111);
inline constexpr HResult ClassNotRegistered = Code(0x80040154);
inline constexpr HResult ModuleNotFound = Code(0x8007007E);  // the registered library is missing
inline constexpr HResult ProcNotFound = Code(0x8007007F);    // it lacks the entry point
inline constexpr HResult RegistrationFailed = Code(0x80040201);
inline constexpr HResult TypeLibRegistrationFailed = Code(0x80040200);
}  // namespace hresult

constexpr bool Succeeded(HResult status) {
  return status >= 0;
}
constexpr bool Failed(HResult status) {
  return status < 0;
}

// The name of a status for messages ("TypeMismatch"), or its digits ("0x80004005") when it has
// none here. Two event and registration statuses share a value; the event name is given.
inline std::string HResultName(HResult status) {
  struct Named {
    HResult status;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {hresult::Ok, "Ok"},
      {hresult::False, "False"},
      {hresult::NotImplemented, "NotImplemented"},
      {hresult::NoInterface, "NoInterface"},
      {hresult::Pointer, "Pointer"},
      {hresult::Fail, "Fail"},
      {hresult::Unexpected, "Unexpected"},
      {hresult::OutOfMemory, "OutOfMemory"},
      {hresult::InvalidArgument, "InvalidArgument"},
      {hresult::UnknownInterface, "UnknownInterface"},
      {hresult::MemberNotFound, "MemberNotFound"},
      {hresult::ParamNotFound, "ParamNotFound"},
      {hresult::TypeMismatch, "TypeMismatch"},
      {hresult::UnknownName, "UnknownName"},
      {hresult::NoNamedArgs, "NoNamedArgs"},
      {hresult::BadVarType, "BadVarType"},
      {hresult::Exception, "Exception"},
      {hresult::Overflow, "Overflow"},
      {hresult::BadIndex, "BadIndex"},
      {hresult::BadParamCount, "BadParamCount"},
      {hresult::ParamNotOptional, "ParamNotOptional"},
      {hresult::ReadOnlyProperty, "ReadOnlyProperty"},
      {hresult::WrongThread, "WrongThread"},
      {hresult::NoConnection, "NoConnection"},
      {hresult::AdviseLimit, "AdviseLimit"},
      {hresult::NoAggregation, "NoAggregation"},
      {hresult::ClassNotAvailable, "ClassNotAvailable"},
      {hresult::ClassNotRegistered, "ClassNotRegistered"},
      {hresult::ModuleNotFound, "ModuleNotFound"},
      {hresult::ProcNotFound, "ProcNotFound"},
  };
  for (const Named& n : kNames) {
    if (n.status == status) return n.name;
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  const auto bits = static_cast<std::uint32_t>(status);
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(bits >> shift) & 0xF];
  return text;
}

}  // namespace velka
