#pragma once
// The platform tests' stand-in for the user's home: HOME, XDG_CONFIG_HOME and XDG_DATA_HOME
// point at folders of their own inside it while the object lives.
#include <string>

#include "tests/support/temporary_home.h"

namespace velka {

class TempHome : public testing::TemporaryHome {
 public:
  TempHome()
      : TemporaryHome(
            "velka-platform",
            {{"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}}) {}

  std::string config() const { return at("config"); }
};

}  // namespace velka
