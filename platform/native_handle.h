#pragma once
// The system's handle of something that can become ready (a port, a pipe, a notification
// source): what the event loop watches and what its blocking step may be woken by. A file
// descriptor on POSIX systems, a kernel object's HANDLE on Windows. Code outside platform/
// only passes it along, compares it with kNoHandle and never looks inside it.

namespace velka {

#if defined(_WIN32)
using NativeHandle = void*;
inline constexpr NativeHandle kNoHandle = nullptr;
#else
using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;
#endif

}  // namespace velka
