#pragma once
// The per-user data folder: $XDG_DATA_HOME, or $HOME/.local/share when it is unset or empty
// (the account's home folder when HOME is missing too). No trailing "/".
#include <string>

namespace velka {

std::string DataHome();

}  // namespace velka
