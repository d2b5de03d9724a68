#pragma once
// The registration of a class, as files under $XDG_DATA_HOME/TMV SPA/classes/ (default
// ~/.local/share), one "key=value" per line:
//
//   <ProgID>.progid   ProgID, CLSID: the class a programmatic identifier stands for
//   <CLSID>.class     CLSID, Name, ProgID, Library (absolute path), TypeLib, Version
//   <LIBID>.typelib   LIBID, Name, Version, Locale, HelpString, Library
//
// <CLSID> and <LIBID> are written "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". Each file is
// written to a temporary name and renamed, so a reader never sees half a registration.
#include <cstdint>
#include <optional>
#include <string>

#include "automation/guid.h"

namespace velka {

struct ClassRegistration {
  std::string prog_id;
  Guid class_id;
  std::string class_name;
  std::string library_path;
  Guid library_id;
  std::string type_library_name;
  int type_library_major = 0;
  int type_library_minor = 0;
  std::uint32_t locale = 0;
  std::string help_string;
};

// "$XDG_DATA_HOME/TMV SPA/classes", no trailing "/".
std::string ClassesFolder();

// Writes the three files; false with the reason in error when a file cannot be written.
bool WriteClassRegistration(const ClassRegistration& registration, std::string& error);

// Removes the three files of the class; missing files are no error.
bool RemoveClassRegistration(const std::string& prog_id, const Guid& class_id,
                             const Guid& library_id, std::string& error);

// What a programmatic identifier is registered as: its class identifier and library path. Where
// the system keeps class registrations itself (the registry on Windows), one found there serves
// when no file registers the identifier.
struct RegisteredClass {
  Guid class_id;
  std::string library_path;
};
// Nothing, with a message for the user in error, when the identifier is not registered or its
// files are damaged.
std::optional<RegisteredClass> FindRegisteredClass(const std::string& prog_id, std::string& error);

}  // namespace velka
