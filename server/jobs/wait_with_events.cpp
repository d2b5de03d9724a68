#include "server/jobs/wait_with_events.h"

namespace velka::server {

void WaitWithEvents(EventLoop& loop, Millis duration_ms) {
  const Millis deadline = loop.now() + duration_ms;
  for (Millis left = duration_ms; left > 0; left = deadline - loop.now()) {
    loop.waitForEvents(kNoHandle, left);
  }
}

}  // namespace velka::server
