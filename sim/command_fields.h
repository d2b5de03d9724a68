#pragma once
// A command string taken apart: its head ("=R1", ">>/?H", "<</?s", "=\"") and its fields,
// each introduced by "/": "$" amount or number, "*" number, "(" text ")".
//
// Texts go out unescaped, so a "/" or ")" may stand inside a text: the text ends at the
// last ")" after which only "$" and "*" fields follow.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velka::sim {

struct CommandFields {
  std::string head;
  std::optional<std::string> dollar;  // "$" field
  std::optional<std::string> star;    // "*" field
  std::optional<std::string> text;    // "(" field, without the parentheses
};

// Nothing when a field is malformed: unknown tag, a tag twice, a text without ")".
std::optional<CommandFields> SplitCommand(std::string_view command);

// A number field read as an amount in hundredths ("1.5" -> 150, ".5" -> 50, "12" -> 1200).
// error is 0 or a register error number: InputError (not a number), DecimalPrice (more than
// two decimals), TooManyDigits (more than ten integer digits).
struct Hundredths {
  int error = 0;
  std::int64_t value = 0;
};
Hundredths ParseHundredths(std::string_view text);

// A whole number: digits only, an optional leading "-" (BelowLimit: negative), at most nine
// digits (TooManyDigits), nothing else (InputError).
struct WholeNumber {
  int error = 0;
  std::int64_t value = 0;
};
WholeNumber ParseWholeNumber(std::string_view text);

}  // namespace velka::sim
