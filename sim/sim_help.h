#pragma once
#include <string>

namespace velka::sim {

// The text of velka-sim --help: options, faults, channel commands, answer layouts, requests.
std::string HelpText();

}  // namespace velka::sim
