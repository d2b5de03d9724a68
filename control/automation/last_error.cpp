#include "control/automation/last_error.h"

namespace velka {

namespace {
thread_local std::string t_last_error;
}  // namespace

void SetLastErrorText(std::string text) {
  t_last_error = std::move(text);
}

const std::string& LastErrorText() {
  return t_last_error;
}

}  // namespace velka
