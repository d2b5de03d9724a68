#pragma once
// A fresh temporary folder that stands in for the user's home while the object lives: the
// environment variables named point at folders inside it, their old values come back and the
// folder goes afterwards (read-only files left in it included).
//
// The machine-wide folders move inside it too, XDG_DATA_DIRS to "system-data" and
// XDG_CONFIG_DIRS to "system-config" (systemData(), systemConfig()), so that what a package
// installed on the machine (a registration, a ports link) never reaches a test.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velka::testing {

class TemporaryHome {
 public:
  // An environment variable and the folder inside the home it points at ("" for the home).
  struct Variable {
    const char* name;
    const char* inside;
  };

  TemporaryHome(const std::string& prefix, std::initializer_list<Variable> variables) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "no temporary folder";
      return;
    }
    root_ = pattern;
    for (const Variable& variable : variables) point(variable);
    point({"XDG_DATA_DIRS", "system-data"});
    point({"XDG_CONFIG_DIRS", "system-config"});
  }
  ~TemporaryHome() {
    // Last set, first restored: a variable set twice gets its first old value back.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      const auto& [name, value] = *it;
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    if (root_.empty()) return;
    std::error_code ignored;
    for (auto& entry : std::filesystem::recursive_directory_iterator(root_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(root_, ignored);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;

  bool ok() const { return !root_.empty(); }
  std::string systemData() const { return at("system-data"); }
  std::string systemConfig() const { return at("system-config"); }
  const std::string& root() const { return root_; }
  // A path inside the home ("" for the home itself).
  std::string at(const std::string& inside) const {
    return inside.empty() ? root_ : root_ + "/" + inside;
  }

  static void WriteFile(const std::string& path, const std::string& contents) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  void point(const Variable& variable) {
    const char* old = ::getenv(variable.name);
    saved_.emplace_back(variable.name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(variable.name, at(variable.inside).c_str(), 1);
  }

  std::string root_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace velka::testing
