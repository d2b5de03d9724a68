#pragma once
// The per-user folders of the desktop conventions, with no trailing "/":
// ConfigHome() is $XDG_CONFIG_HOME, else ~/.config; DataHome() is $XDG_DATA_HOME, else
// ~/.local/share. A relative value of the variable is not honoured. Without HOME (a service
// started with an empty environment) the account's home folder is used.
#include <string>

namespace velka {

std::string ConfigHome();
std::string DataHome();

}  // namespace velka
