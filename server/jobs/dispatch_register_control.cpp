#include "server/jobs/dispatch_register_control.h"

#include <array>

#include "automation/activation/create_object.h"
#include "automation/dispatch_ids.h"
#include "automation/identity.h"
#include "automation/result_codes.h"
#include "platform/single_byte_text.h"
#include "server/jobs/control_registration.h"

namespace velka::server {

namespace {

constexpr std::int32_t kRefusedCall = result::NotAllowed;

}  // namespace

DispatchRegisterControl::DispatchRegisterControl(DispatchRef object) : object_(std::move(object)) {
  advised_ = Succeeded(object_->Advise(this, &cookie_));
}

DispatchRegisterControl::~DispatchRegisterControl() {
  if (advised_) object_->Unadvise(cookie_);
}

std::int32_t DispatchRegisterControl::CallLong(DispId id, std::uint16_t kind,
                                               std::span<Variant> args) {
  Variant result;
  if (Failed(object_->Invoke(id, kind, args, &result, nullptr))) return kRefusedCall;
  return result.longValue();
}

void DispatchRegisterControl::setTMVHighSpeed(bool value) {
  std::array<Variant, 1> args{Variant::FromBoolean(value)};
  object_->Invoke(dispid::TMVHighSpeed, kInvokePropertyPut, args, nullptr, nullptr);
}

void DispatchRegisterControl::setAsyncMode(bool value) {
  std::array<Variant, 1> args{Variant::FromBoolean(value)};
  object_->Invoke(dispid::AsyncMode, kInvokePropertyPut, args, nullptr, nullptr);
}

std::int32_t DispatchRegisterControl::TMVOpen(const std::string& DeviceName) {
  std::u16string device = FromSingleByte(DeviceName);
  std::array<Variant, 1> args{Variant::RefString(&device)};
  return CallLong(dispid::TMVOpen, kInvokeMethod, args);
}

std::int32_t DispatchRegisterControl::TMVClose() {
  return CallLong(dispid::TMVClose, kInvokeMethod, {});
}

std::int32_t DispatchRegisterControl::DirectIO(std::int32_t Command, std::int32_t& pData,
                                               std::string& pString) {
  std::u16string text = FromSingleByte(pString);
  std::array<Variant, 3> args{Variant::FromLong(Command), Variant::RefLong(&pData),
                              Variant::RefString(&text)};
  return CallLong(dispid::DirectIO, kInvokeMethod, args);
}

std::int32_t DispatchRegisterControl::DirectIO2(std::int32_t Command, std::int32_t& pData,
                                                std::string& pString, std::string& pOString) {
  std::u16string text = FromSingleByte(pString);
  std::u16string answer = FromSingleByte(pOString);
  std::array<Variant, 4> args{Variant::FromLong(Command), Variant::RefLong(&pData),
                              Variant::RefString(&text), Variant::RefString(&answer)};
  const std::int32_t code = CallLong(dispid::DirectIO2, kInvokeMethod, args);
  if (code == result::Success) pOString = ToSingleByte(answer);
  return code;
}

std::int32_t DispatchRegisterControl::ResultCodeExtended() {
  return CallLong(dispid::ResultCodeExtended, kInvokePropertyGet, {});
}

HResult DispatchRegisterControl::Invoke(DispId event_id, std::span<Variant> args) {
  if (!events_) return hresult::Ok;
  switch (event_id) {
    case event_id::StatusUpdateEvent:
      if (args.size() >= 1) events_->StatusUpdateEvent(args[0].longValue());
      break;
    case event_id::DirectIOEvent:
      if (args.size() >= 3) {
        std::int32_t pData = args[1].longValue();
        std::string pString = ToSingleByte(args[2].stringValue());
        events_->DirectIOEvent(args[0].longValue(), pData, pString);
        if (pData != args[1].longValue()) args[1].setLong(pData);
        std::u16string written = FromSingleByte(pString);
        if (written != args[2].stringValue()) args[2].setString(std::move(written));
      }
      break;
    case event_id::ReceiveDataEvent:
      if (args.size() >= 1) events_->ReceiveDataEvent(ToSingleByte(args[0].stringValue()));
      break;
    default:
      break;  // events the server does not handle
  }
  return hresult::Ok;
}

std::unique_ptr<RegisterControl> CreateHostedControl(ControlSite& site, std::string& error) {
  CreatedObject created = CreateObject(identity::kProgId, &site);
  const bool not_found = created.status == hresult::ClassNotRegistered ||
                         created.status == hresult::ModuleNotFound ||
                         created.status == hresult::ProcNotFound;
  if (!created && !not_found) {
    error = created.error;
    return nullptr;
  }
  if (!created) {
    std::string registration_error;
    if (!RegisterControlBesideProgram(registration_error)) {
      error = created.error + "; " + registration_error;
      return nullptr;
    }
    created = CreateObject(identity::kProgId, &site);
    if (!created) {
      error = created.error;
      return nullptr;
    }
  }
  return std::make_unique<DispatchRegisterControl>(std::move(created.object));
}

}  // namespace velka::server
