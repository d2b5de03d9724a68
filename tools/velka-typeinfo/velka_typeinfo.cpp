// velka-typeinfo: prints the type information of the control as a type-library viewer shows
// it: the library, the dispatch interface with every member in order (identifier, kind,
// parameters with direction, type and default, result), the event interface and the class.
//
// Usage: velka-typeinfo                      the registered control
//        velka-typeinfo --library PATH       the control in that library file
//        velka-typeinfo --help | --version
#include <cstdio>
#include <string>

#include "automation/activation/create_object.h"
#include "automation/identity.h"
#include "platform/single_byte_text.h"

namespace velka {
namespace {

std::string Text(const std::u16string& s) {
  return Utf16ToUtf8(s);
}

std::string Hex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

std::string DefaultText(const Variant& v) {
  switch (v.type()) {
    case VarType::Long:
      return std::to_string(v.longValue());
    case VarType::Integer:
      return std::to_string(v.integerValue());
    case VarType::Boolean:
      return v.booleanValue() ? "True" : "False";
    case VarType::String:
      return "\"" + Text(v.stringValue()) + "\"";
    case VarType::Currency: {
      const std::int64_t units = v.currencyValue();
      std::string text = std::to_string(units / 10000);
      if (const std::int64_t rest = units % 10000; rest != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, ".%04lld",
                      static_cast<long long>(rest < 0 ? -rest : rest));
        text += digits;
        while (text.back() == '0') text.pop_back();
      }
      return text;
    }
    default:
      return "?";
  }
}

// "[in, out, optional, defaultvalue(1)] Long* Quantity"
std::string ParamText(const ParamInfo& p) {
  std::string attributes = p.by_reference ? "in, out" : "in";
  if (p.optional) attributes += ", optional, defaultvalue(" + DefaultText(p.default_value) + ")";
  std::string type = VarTypeName(p.type);
  if (p.by_reference) type += "*";
  return "[" + attributes + "] " + type + " " + Text(p.name);
}

std::string KindText(MemberKind kind) {
  switch (kind) {
    case MemberKind::Method:
      return "method      ";
    case MemberKind::PropertyGet:
      return "propget     ";
    case MemberKind::PropertyPut:
      return "propput     ";
  }
  return "?";
}

void PrintMember(int index, const MemberInfo& m) {
  const std::string result = m.result == VarType::Empty ? "void" : VarTypeName(m.result);
  std::string params;
  for (std::size_t i = 0; i < m.params.size(); ++i) {
    if (i > 0) params += ", ";
    params += ParamText(m.params[i]);
  }
  std::printf("    %2d  %s  %s%s %s(%s)\n", index, Hex(static_cast<std::uint32_t>(m.id)).c_str(),
              KindText(m.kind).c_str(), result.c_str(), Text(m.name).c_str(), params.c_str());
}

std::string Flags(const InterfaceInfo& i) {
  std::string flags;
  auto add = [&](bool on, const char* name) {
    if (!on) return;
    if (!flags.empty()) flags += ", ";
    flags += name;
  };
  add(i.dual, "dual");
  add(i.hidden, "hidden");
  add(i.non_extensible, "nonextensible");
  add(i.automation_compatible, "oleautomation");
  return flags;
}

void PrintLibrary(const TypeLibraryInfo& lib) {
  std::printf("library %s %s, version %d.%d, locale %u, helpstring \"%s\"\n",
              Text(lib.name).c_str(), GuidToText(lib.id).c_str(), lib.major, lib.minor, lib.locale,
              Text(lib.help_string).c_str());
  std::printf("  importlib %s\n\n", Text(lib.imported_library).c_str());

  std::printf("  dispinterface %s %s [%s]: %zu members\n", Text(lib.dispatch.name).c_str(),
              GuidToText(lib.dispatch.id).c_str(), Flags(lib.dispatch).c_str(),
              lib.dispatch.members.size());
  int index = 1;
  for (const MemberInfo& m : lib.dispatch.members) PrintMember(index++, m);

  std::printf("\n  dispinterface %s %s [%s]: %zu events\n", Text(lib.events.name).c_str(),
              GuidToText(lib.events.id).c_str(), Flags(lib.events).c_str(),
              lib.events.members.size());
  index = 1;
  for (const MemberInfo& m : lib.events.members) PrintMember(index++, m);

  std::printf("\n  coclass %s %s [%s]\n", Text(lib.class_name).c_str(),
              GuidToText(lib.class_id).c_str(), lib.control ? "control" : "");
  std::printf("    [default] dispinterface %s\n", Text(lib.dispatch.name).c_str());
  std::printf("    [default, source] dispinterface %s\n", Text(lib.events.name).c_str());
}

}  // namespace
}  // namespace velka

int main(int argc, char** argv) {
  const std::string arg = argc > 1 ? argv[1] : "";
  if (argc == 2 && arg == "--version") {
    std::printf("velka-typeinfo %s\n", VELKA_VERSION);
    return 0;
  }
  const bool from_library = argc == 3 && arg == "--library";
  if (argc > 1 && !from_library) {
    const bool help = argc == 2 && (arg == "-h" || arg == "--help");
    std::fprintf(help ? stdout : stderr,
                 "usage: velka-typeinfo [--library PATH] | --help | --version\n"
                 "Prints the type information of the TmvEcrVelka control: its members in\n"
                 "interface order with dispatch identifiers, kinds, parameters and defaults,\n"
                 "and its events. The control is the registered one, or the one in the library\n"
                 "file PATH.\n");
    return help ? 0 : 2;
  }
  velka::CreatedObject created =
      from_library ? velka::CreateObjectFromLibrary(argv[2], velka::identity::kClassId,
                                                    velka::identity::kProgId)
                   : velka::CreateObject(velka::identity::kProgId);
  if (!created) {
    std::fprintf(stderr, "velka-typeinfo: %s\n", created.error.c_str());
    return 1;
  }
  velka::PrintLibrary(created.object->GetTypeInfo());
  return 0;
}
