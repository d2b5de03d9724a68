#pragma once
// Conversion between automation strings (UTF-16) and the single-byte text of the register,
// the command files and every file the system writes (Windows-1252; the euro sign is 0x80).
// Conversions happen at the edges only; inside, text is single-byte std::string.
#include <string>
#include <string_view>

namespace velka {

// A character with no single-byte code becomes "?".
std::string ToSingleByte(std::u16string_view text);
std::u16string FromSingleByte(std::string_view bytes);

// UTF-8 for terminals, command lines and file names given by the operating system.
std::string SingleByteToUtf8(std::string_view bytes);
std::string Utf8ToSingleByte(std::string_view utf8);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace velka
