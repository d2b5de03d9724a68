#pragma once
// The registration of a class, as files in a classes folder, one "key=value" per line:
//
//   <ProgID>.progid   ProgID, CLSID: the class a programmatic identifier stands for
//   <CLSID>.class     CLSID, Name, ProgID, Library (absolute path), TypeLib, Version
//   <LIBID>.typelib   LIBID, Name, Version, Locale, HelpString, Library
//
// <CLSID> and <LIBID> are written "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". Each file is
// written to a temporary name and renamed, so a reader never sees half a registration.
//
// Classes folders: the user's own, "$XDG_DATA_HOME/TMV SPA/classes" (default ~/.local/share),
// then "TMV SPA/classes" under each machine-wide data folder ($XDG_DATA_DIRS, default
// /usr/local/share and /usr/share). A lookup takes the first folder that registers the
// programmatic identifier and reads the class from that same folder, so a user's own
// registration stands before the machine's and the two are never mixed.
//
// Registration writes into the user's folder, or into the machine's when the environment
// variable VELKA_REGISTER_SYSTEM is set (to anything but "" and "0"): the first machine-wide
// data folder. A package's installation script sets it (through velka-register --system) so
// that the control is registered once for every user of the machine, service accounts
// without a home included. The library's entry points take no arguments, so the
// environment is what tells them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

inline constexpr char kRegisterSystemVariable[] = "VELKA_REGISTER_SYSTEM";

// "$XDG_DATA_HOME/TMV SPA/classes", no trailing "/": the user's registrations.
std::string ClassesFolder();
// The machine's folder: "TMV SPA/classes" under the first machine-wide data folder.
std::string SystemClassesFolder();
// Every classes folder in the order of the lookup.
std::vector<std::string> ClassesFolders();
// Where registration writes and unregistration removes: SystemClassesFolder() when
// VELKA_REGISTER_SYSTEM is set, else ClassesFolder().
std::string RegistrationFolder();

// Writes the three files into RegistrationFolder(); false with the reason in error when a
// file cannot be written.
bool WriteClassRegistration(const ClassRegistration& registration, std::string& error);

// Removes the three files of the class from RegistrationFolder(); missing files are no error.
bool RemoveClassRegistration(const std::string& prog_id, const Guid& class_id,
                             const Guid& library_id, std::string& error);

// What a programmatic identifier is registered as: its class identifier and library path. Where
// the system keeps class registrations itself (the registry on Windows), one found there serves
// when no file registers the identifier.
struct RegisteredClass {
  Guid class_id;
  std::string library_path;
};
// Nothing, with a message for the user in error, when the identifier is registered in no
// classes folder or its files are damaged.
std::optional<RegisteredClass> FindRegisteredClass(const std::string& prog_id, std::string& error);

}  // namespace velka
