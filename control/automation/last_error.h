#pragma once
// The text of the last failure on this thread, for the C surface's velka_last_error().
#include <string>

namespace velka {

void SetLastErrorText(std::string text);
const std::string& LastErrorText();

}  // namespace velka
