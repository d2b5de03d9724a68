#include "automation/activation/registration_record.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>
#include <system_error>

#include "platform/ascii_text.h"
#include "platform/system_class_registry.h"
#include "platform/system_folders.h"
#include "platform/user_folders.h"

namespace velka {

namespace {

namespace fs = std::filesystem;

// A registration file is a handful of short lines; anything larger is not one of ours.
constexpr std::uintmax_t kMaxRecordBytes = 64 * 1024;
constexpr std::size_t kMaxProgIdLength = 200;

// A programmatic identifier names a file in the folder: one plain name, no way out of it.
bool UsableProgId(const std::string& prog_id) {
  if (prog_id.empty() || prog_id.size() > kMaxProgIdLength) return false;
  if (prog_id == "." || prog_id == "..") return false;
  for (unsigned char c : prog_id) {
    if (c <= ' ' || c == '/' || c == '\\' || c >= 0x7F) return false;
  }
  return true;
}

constexpr char kClassesUnder[] = "/TMV SPA/classes";

std::string ProgIdFile(const std::string& folder, const std::string& prog_id) {
  return folder + "/" + prog_id + ".progid";
}
std::string ClassFile(const std::string& folder, const Guid& class_id) {
  return folder + "/" + GuidToText(class_id) + ".class";
}
std::string TypeLibFile(const std::string& folder, const Guid& library_id) {
  return folder + "/" + GuidToText(library_id) + ".typelib";
}

bool RegisteringForTheMachine() {
  const char* value = std::getenv(kRegisterSystemVariable);
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

using Record = std::map<std::string, std::string>;

bool WriteRecord(const std::string& path, const std::string& section, const Record& keys,
                 std::string& error) {
  std::ostringstream text;
  text << "[" << section << "]\n";
  for (const auto& [key, value] : keys) text << key << "=" << value << "\n";
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.close();
    if (!out) {
      error = "cannot write " + temporary;
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  // The machine's registration is read by every account, whatever the umask of the one
  // that wrote it.
  if (RegisteringForTheMachine()) {
    fs::permissions(temporary, fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::add, ec);
  }
  fs::rename(temporary, path, ec);
  if (ec) {
    error = "cannot write " + path + ": " + ec.message();
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

// The folders of the machine's registration, open to every account to read.
void OpenToEveryone(const std::string& folder) {
  constexpr fs::perms kReadAndEnter = fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec;
  std::error_code ignored;
  fs::permissions(folder, kReadAndEnter, fs::perm_options::add, ignored);
  fs::permissions(fs::path(folder).parent_path(), kReadAndEnter, fs::perm_options::add, ignored);
}

// Nothing when the file is missing, too large or unreadable.
std::optional<Record> ReadRecord(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxRecordBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  Record record;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '[' || line.front() == ';') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    record[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return record;
}

// Programmatic identifiers are compared without letter case, as automation does: the file of
// the exact name, else the one whose name differs in case only; nothing when the folder holds
// neither.
std::optional<std::string> FindProgIdFile(const std::string& folder, const std::string& prog_id) {
  const std::string exact = ProgIdFile(folder, prog_id);
  std::error_code ec;
  if (fs::exists(exact, ec)) return exact;
  const std::string wanted = prog_id + ".progid";
  constexpr int kMaxEntries = 10000;  // a folder of registrations, not a disk to walk
  int seen = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end && seen < kMaxEntries;
       it.increment(ec), ++seen) {
    const std::string name = it->path().filename().string();
    if (SameIgnoringAsciiCase(name, wanted)) return it->path().string();
  }
  return std::nullopt;
}

// "a", "a or b", "a, b or c".
std::string OneOf(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " or " : ", ";
    text += items[i];
  }
  return text;
}

std::string Value(const Record& record, const std::string& key) {
  auto it = record.find(key);
  return it == record.end() ? std::string() : it->second;
}

}  // namespace

std::string ClassesFolder() {
  return DataHome() + kClassesUnder;
}

std::string SystemClassesFolder() {
  return SystemDataFolders().front() + kClassesUnder;
}

std::vector<std::string> ClassesFolders() {
  std::vector<std::string> folders{ClassesFolder()};
  for (const std::string& data : SystemDataFolders()) folders.push_back(data + kClassesUnder);
  return folders;
}

std::string RegistrationFolder() {
  return RegisteringForTheMachine() ? SystemClassesFolder() : ClassesFolder();
}

bool WriteClassRegistration(const ClassRegistration& r, std::string& error) {
  if (!UsableProgId(r.prog_id)) {
    error = "unusable programmatic identifier \"" + r.prog_id + "\"";
    return false;
  }
  if (r.library_path.empty() || r.library_path.front() != '/') {
    error = "the library's path is not known";
    return false;
  }
  const std::string folder = RegistrationFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return false;
  }
  if (RegisteringForTheMachine()) OpenToEveryone(folder);
  const std::string version =
      std::to_string(r.type_library_major) + "." + std::to_string(r.type_library_minor);
  return WriteRecord(TypeLibFile(folder, r.library_id), "TypeLib",
                     {{"LIBID", GuidToText(r.library_id)},
                      {"Name", r.type_library_name},
                      {"Version", version},
                      {"Locale", std::to_string(r.locale)},
                      {"HelpString", r.help_string},
                      {"Library", r.library_path}},
                     error) &&
         WriteRecord(ClassFile(folder, r.class_id), "Class",
                     {{"CLSID", GuidToText(r.class_id)},
                      {"Name", r.class_name},
                      {"ProgID", r.prog_id},
                      {"Library", r.library_path},
                      {"TypeLib", GuidToText(r.library_id)},
                      {"Version", version}},
                     error) &&
         WriteRecord(ProgIdFile(folder, r.prog_id), "ProgID",
                     {{"ProgID", r.prog_id}, {"CLSID", GuidToText(r.class_id)}}, error);
}

bool RemoveClassRegistration(const std::string& prog_id, const Guid& class_id,
                             const Guid& library_id, std::string& error) {
  const std::string folder = RegistrationFolder();
  bool removed_all = true;
  auto remove = [&](const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) {
      error = "cannot remove " + path + ": " + ec.message();
      removed_all = false;
    }
  };
  if (UsableProgId(prog_id)) remove(ProgIdFile(folder, prog_id));
  remove(ClassFile(folder, class_id));
  remove(TypeLibFile(folder, library_id));
  return removed_all;
}

std::optional<RegisteredClass> FindRegisteredClass(const std::string& prog_id, std::string& error) {
  if (!UsableProgId(prog_id)) {
    error = "\"" + prog_id + "\" is not a programmatic identifier";
    return std::nullopt;
  }
  const std::vector<std::string> folders = ClassesFolders();
  std::optional<std::string> prog_file;
  std::string folder;
  for (const std::string& candidate : folders) {
    prog_file = FindProgIdFile(candidate, prog_id);
    if (prog_file) {
      folder = candidate;
      break;
    }
  }
  const auto prog = prog_file ? ReadRecord(*prog_file) : std::nullopt;
  if (!prog) {
    // Where the system keeps registrations of its own (Windows), regsvr32's serves.
    if (const auto system = FindSystemClassRegistration(prog_id)) {
      if (const auto class_id = GuidFromText(system->class_id)) {
        return RegisteredClass{*class_id, system->library_path};
      }
    }
    error = prog_id + " is not registered (no " + prog_id + ".progid in " + OneOf(folders) +
            "); register the library with DllRegisterServer";
    return std::nullopt;
  }
  const auto class_id = GuidFromText(Value(*prog, "CLSID"));
  if (!class_id) {
    error = "the registration of " + prog_id + " names no valid class identifier";
    return std::nullopt;
  }
  const auto cls = ReadRecord(ClassFile(folder, *class_id));
  if (!cls) {
    error = prog_id + " stands for the class " + GuidToText(*class_id) +
            ", which is not registered (no " + ClassFile(folder, *class_id) + ")";
    return std::nullopt;
  }
  RegisteredClass found{*class_id, Value(*cls, "Library")};
  if (found.library_path.empty()) {
    error = "the registration of " + prog_id + " names no library";
    return std::nullopt;
  }
  return found;
}

}  // namespace velka
