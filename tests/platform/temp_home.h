#pragma once
// A temporary folder that stands in for the user's home: XDG_CONFIG_HOME, XDG_DATA_HOME and
// HOME point into it while the object lives, and it is removed afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace velka {

class TempHome {
 public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velka-platform-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    root_ = pattern;
    saved_config_ = Save("XDG_CONFIG_HOME");
    saved_data_ = Save("XDG_DATA_HOME");
    saved_home_ = Save("HOME");
    ::setenv("HOME", (root_ + "/home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
  }
  ~TempHome() {
    Restore("XDG_CONFIG_HOME", saved_config_);
    Restore("XDG_DATA_HOME", saved_data_);
    Restore("HOME", saved_home_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& root() const { return root_; }
  std::string config() const { return root_ + "/config"; }

  static void WriteFile(const std::string& path, const std::string& contents) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << contents;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  static std::optional<std::string> Save(const char* name) {
    const char* value = ::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

  std::string root_;
  std::optional<std::string> saved_config_, saved_data_, saved_home_;
};

}  // namespace velka
