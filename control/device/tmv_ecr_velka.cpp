// Life cycle of the control: creation and termination, TMVOpen and TMVClose, the read/write
// properties, host property handling and ClearError.
#include "control/device/tmv_ecr_velka.h"

#include <algorithm>
#include <cmath>

#include "automation/control_site.h"
#include "control/core/library_version.h"
#include "control/device/entry_checks.h"
#include "control/device/persistent_settings.h"
#include "control/device/trace_file.h"
#include "control/link/register_link.h"
#include "platform/numeric_text.h"
#include "platform/settings_store.h"
#include "platform/shared_library.h"
#include "platform/single_byte_text.h"
#include "platform/system_factory.h"
#include "platform/system_version.h"

namespace velka {

namespace {

constexpr int kBaudLow = 9600;
constexpr int kBaudHigh = 115200;
// The picture the host shows in design mode; the control always takes its size.
constexpr int kImgVelkaWidth = 32;
constexpr int kImgVelkaHeight = 32;

}  // namespace

TmvEcrVelka::TmvEcrVelka(ControlEnvironment environment)
    : env_(std::move(environment)), trace_(state_.TraceOn, env_.clock) {
  if (env_.loop) {
    loop_ = env_.loop;
  } else {
    own_loop_ = CreateSystemEventLoop();
    loop_ = own_loop_.get();
  }
  settings_ = env_.settings ? env_.settings : CreateUserSettingsStore();
  if (!env_.clock) env_.clock = CurrentLocalDateTime;
  if (!env_.openTraceFile) {
    env_.openTraceFile = [this] {
      const TracePlace place =
          ChooseTracePlace(ReadSystemVersion(), UserFolder(),
                           PathOfLibraryHolding(reinterpret_cast<const void*>(&ChooseTracePlace)));
      return OpenTraceFile(place.folder, *settings_, env_.clock, place.set_aside);
    };
  }
  SerialPortFactory make_port = env_.makePort ? env_.makePort : SystemSerialPortFactory();
  port_ = make_port(*loop_);
  // The link sets the intervals of tmrTimeout (3000 ms) and tmrData (30000 ms) and keeps
  // tmrAvvio at 50 ms; all three start stopped.
  link_ = std::make_unique<RegisterLink>(state_, *loop_, *port_, trace_);
  link_->setOperatorWaitMs(env_.operatorWaitMs);
  link_->setSequenceDigitKeeper(
      [this](std::int16_t next) { PersistentSettings(*settings_, env_.clock).keepPackID(next); });
  ReadPersistentSettings();
  state_.TMVHighSpeed = false;
}

TmvEcrVelka::~TmvEcrVelka() {
  PersistentSettings(*settings_, env_.clock).writePackID(state_.PackID);
  CloseTrace();
  link_.reset();
  if (port_ && port_->isOpen()) port_->close();
}

void TmvEcrVelka::ReadPersistentSettings() {
  PersistentSettings settings(*settings_, env_.clock);
  state_.PackID = settings.readPackID();
  state_.TraceOn = settings.readTraceOn();
  settings.writeMissingTraceNumbering();
}

void TmvEcrVelka::setEventSink(ControlEvents* sink) {
  state_.events = sink;
}

void TmvEcrVelka::InitNew() {
  state_.AsyncMode = false;
  img_velka_visible_ = env_.designMode;
}

void TmvEcrVelka::LoadProperties(PropertyStore& store) {
  setAsyncMode(store.readBool("AsyncMode").value_or(false));
  img_velka_visible_ = env_.designMode;
}

void TmvEcrVelka::SaveProperties(PropertyStore& store) {
  store.writeBool("AsyncMode", state_.AsyncMode, false);
}

void TmvEcrVelka::Resize(int& width, int& height) const {
  width = kImgVelkaWidth;
  height = kImgVelkaHeight;
}

std::u16string TmvEcrVelka::ControlObjectDescription() const {
  return u"TMV Velka fiscal printer control";
}

std::u16string TmvEcrVelka::ServiceObjectDescription() const {
  return u"TMV Velka serial service for the Velka fiscal register";
}

void TmvEcrVelka::setAsyncMode(bool value) {
  state_.AsyncMode = value;
  state_.ResultCode = result::Success;
}

void TmvEcrVelka::setTMVHighSpeed(bool value) {
  state_.TMVHighSpeed = value;
  state_.ResultCode = result::Success;
}

std::int32_t TmvEcrVelka::TMVOpen(std::u16string& DeviceName) {
  state_.LinkFree = true;
  if (!state_.DeviceOpen) {
    // The port number is the leading number of DeviceName as an Integer; a number that does
    // not fit one fails the open.
    const double number = RoundHalfEven(Val(DeviceName));
    if (number < 1 || number > 32767) return state_.ResultCode = result::OpenFailed;
    if (!port_->open(static_cast<int>(number), state_.TMVHighSpeed ? kBaudHigh : kBaudLow)) {
      return state_.ResultCode = result::OpenFailed;
    }
    state_.DeviceOpen = true;
    link_->PortOpened();
    state_.OutputID = 0;
    state_.QueueLast = -1;
    state_.AsyncMode = false;
    state_.State = device_state::Open;
    state_.PrinterState = printer_state::Idle;
    if (state_.TraceOn && !OpenTrace()) return state_.ResultCode = result::OpenFailed;
  }
  state_.ResultCode = PortChecked(port_->cts() ? result::Success : result::NoRegister);
  return state_.ResultCode;
}

std::int32_t TmvEcrVelka::TMVClose() {
  std::int32_t code = result::DeviceNotOpen;
  if (state_.DeviceOpen) {
    port_->close();
    state_.DeviceOpen = false;
    state_.State = device_state::Closed;
    code = result::Success;
  }
  state_.ResultCode = code;
  CloseTrace();
  return code;
}

std::int32_t TmvEcrVelka::ClearError() {
  CheckEntry(entry::ClearError, state_, *port_);
  return Send("=K", true);
}

std::int32_t TmvEcrVelka::Send(const std::string& command, bool ForceSync) {
  return link_->SendCommand(command, ForceSync);
}

std::int32_t TmvEcrVelka::PortChecked(std::int32_t code) {
  if (code == result::NoRegister) link_->NoteIfPortGone();
  return code;
}

bool TmvEcrVelka::OpenTrace() {
  if (state_.TraceFileOpen) return true;
  trace_file_ = env_.openTraceFile();
  if (!trace_file_) return false;
  trace_.setSink(trace_file_.get());
  const bool written = trace_.plain(" ") && trace_.plain("---- Inizio Trace ----  " + trace_.now() +
                                                         " v:" + kLibraryVersionTrace);
  state_.TraceFileOpen = true;
  return written;
}

void TmvEcrVelka::CloseTrace() {
  if (!(state_.TraceOn && state_.TraceFileOpen)) return;
  trace_.plain("---- Fine   Trace ----  " + trace_.now());
  trace_.setSink(nullptr);
  trace_file_.reset();
  state_.TraceFileOpen = false;
}

}  // namespace velka
