#pragma once
// The strings the C surface hands out (VelkaString), known by their address. A pointer is
// taken for a library string only when the library made it and has not freed it since; the
// check never reads through the pointer, so a caller's own buffer, a pointer into a library
// string or one already freed is told apart without touching memory the library was not given.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "automation/c_surface.h"

namespace velka {

// Longest library string, in UTF-16 units.
inline constexpr std::int32_t kMaxLibraryStringLength = 16 * 1024 * 1024;

// A new string holding the units and a closing NUL; null when too long or out of memory.
VelkaString NewLibraryString(const char16_t* text, std::size_t length) noexcept;
VelkaString NewLibraryString(const std::u16string& text) noexcept;

// The text of a library string, empty for null; nothing for any other pointer.
std::optional<std::u16string> LibraryStringText(VelkaString s);

// The units of a library string; 0 for null and for any other pointer.
std::int32_t LibraryStringLength(VelkaString s);

// Frees a library string; any other pointer (null included) is left alone.
void FreeLibraryString(VelkaString s);

}  // namespace velka
