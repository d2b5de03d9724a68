#include "control/automation/last_error.h"

namespace velka {

namespace {
// The control is loaded with dlopen, where a thread_local lives in storage that the C library
// hands out on first use. Debian 12's leak checker crashes walking that storage at
// the host's exit, so on ELF systems the text sits in the small static reserve the C library
// keeps for loaded libraries (it holds one string object; the text itself is on the heap).
#if defined(__ELF__)
#define VELKA_STATIC_TLS __attribute__((tls_model("initial-exec")))
#else
#define VELKA_STATIC_TLS
#endif
VELKA_STATIC_TLS thread_local std::string t_last_error;
}  // namespace

void SetLastErrorText(std::string text) {
  t_last_error = std::move(text);
}

const std::string& LastErrorText() {
  return t_last_error;
}

}  // namespace velka
