#pragma once
// The few members of the hosted control that the job server uses, and the events it handles.
//
// The server reaches the control only through its automation interface, by dispatch
// identifier; DispatchRegisterControl adapts that interface to this one, and the unit tests
// use a fake. Text here is single-byte (Windows-1252), as in the command files: the adapter
// converts to and from automation strings at the edge.
#include <cstdint>
#include <string>

namespace velka::server {

// Events of the control that the server handles. They are raised synchronously on the
// server's thread, also from inside a DirectIO or DirectIO2 call in progress.
class RegisterControlEvents {
 public:
  virtual ~RegisterControlEvents() = default;
  virtual void StatusUpdateEvent(std::int32_t Status) = 0;
  virtual void DirectIOEvent(std::int32_t Command, std::int32_t& pData, std::string& pString) = 0;
  virtual void ReceiveDataEvent(const std::string& pString) = 0;
};

class RegisterControl {
 public:
  virtual ~RegisterControl() = default;

  // Where the events go; null: nowhere. Not owned.
  virtual void setEvents(RegisterControlEvents* events) = 0;

  virtual void setTMVHighSpeed(bool value) = 0;
  virtual void setAsyncMode(bool value) = 0;
  // 0 when the port is open.
  virtual std::int32_t TMVOpen(const std::string& DeviceName) = 0;
  virtual std::int32_t TMVClose() = 0;
  // Sends one command string; 0 when the register has answered it.
  virtual std::int32_t DirectIO(std::int32_t Command, std::int32_t& pData,
                                std::string& pString) = 0;
  // Sends one command string; on 0, pOString holds the register's answer.
  virtual std::int32_t DirectIO2(std::int32_t Command, std::int32_t& pData, std::string& pString,
                                 std::string& pOString) = 0;
  virtual std::int32_t ResultCodeExtended() = 0;
};

}  // namespace velka::server
