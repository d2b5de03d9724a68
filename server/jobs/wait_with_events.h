#pragma once
// A pause of the job that keeps the server alive: pending events (the control's events, the
// signal watch, menu commands of a window) run while it lasts, and the process sleeps in the
// kernel in between.
#include "platform/event_loop.h"

namespace velka::server {

void WaitWithEvents(EventLoop& loop, Millis duration_ms);

}  // namespace velka::server
