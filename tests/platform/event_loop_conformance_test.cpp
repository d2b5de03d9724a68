// Both loops of the project through the one conformance suite.
#include "tests/support/event_loop_conformance.h"

#include <optional>

#include "platform/posix/poll_event_loop.h"
#include "tests/support/pipe_source.h"
#include "tests/support/virtual_event_loop.h"

namespace velka {
namespace {

struct PollLoopTraits {
  using Loop = PollEventLoop;

  // A pipe: readable once a byte is written to it.
  class Source : public testing::PipeSource {
   public:
    explicit Source(Loop&) {}
  };
};

struct VirtualLoopTraits {
  using Loop = VirtualEventLoop;

  // Readable from a given virtual time on.
  class Source : public VirtualSource {
   public:
    explicit Source(Loop& loop) : loop_(loop), fd_(loop.addSource(this)) {}
    ~Source() override { loop_.removeSource(fd_); }
    NativeHandle fd() const { return fd_; }
    void makeReadable() { ready_at_ = loop_.now(); }
    void makeReadableAfter(Millis delay_ms) { ready_at_ = loop_.now() + delay_ms; }
    void drain() { ready_at_.reset(); }

    bool readable(Millis now) const override { return ready_at_ && *ready_at_ <= now; }
    std::optional<Millis> nextReadyTime(Millis now) const override {
      if (ready_at_ && *ready_at_ > now) return ready_at_;
      return std::nullopt;
    }

   private:
    Loop& loop_;
    NativeHandle fd_;
    std::optional<Millis> ready_at_;
  };
};

INSTANTIATE_TYPED_TEST_SUITE_P(Poll, EventLoopConformance, PollLoopTraits);
INSTANTIATE_TYPED_TEST_SUITE_P(Virtual, EventLoopConformance, VirtualLoopTraits);

}  // namespace
}  // namespace velka
