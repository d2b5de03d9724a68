#pragma once
// Paths and texts between the tree's UTF-8 strings and the UTF-16 of the Windows API, and the
// text of a system error code. Used by the files of this folder only.
#include <string>

namespace velka::win32 {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
// The system's message for an error code (GetLastError()), without its line end.
std::string ErrorText(unsigned long code);

}  // namespace velka::win32
