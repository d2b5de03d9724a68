#include "control/automation/idl_text.h"

#include <cstdio>

#include "platform/single_byte_text.h"

namespace velka {

namespace {

std::string GuidDigits(const Guid& id) {
  const std::string text = GuidToText(id);
  return text.substr(1, text.size() - 2);
}

std::string HexId(DispId id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
  return text;
}

std::string IdlType(VarType type) {
  switch (type) {
    case VarType::Integer:
      return "short";
    case VarType::Long:
      return "long";
    case VarType::Currency:
      return "CURRENCY";
    case VarType::String:
      return "BSTR";
    case VarType::Boolean:
      return "VARIANT_BOOL";
    case VarType::LongArray:
      return "SAFEARRAY(long)";
    case VarType::Empty:
      break;
  }
  return "void";
}

std::string DefaultText(const Variant& value) {
  switch (value.type()) {
    case VarType::Long:
      return std::to_string(value.longValue());
    case VarType::Integer:
      return std::to_string(value.integerValue());
    case VarType::Currency:
      return std::to_string(value.currencyValue() / 10000);
    case VarType::Boolean:
      return value.booleanValue() ? "-1" : "0";
    case VarType::String:
      return "\"" + Utf16ToUtf8(value.stringValue()) + "\"";
    default:
      return "0";
  }
}

std::string Parameter(const ParamInfo& p) {
  std::string attributes = p.by_reference ? "in, out" : "in";
  // widl takes a default value only for a parameter by value; one by reference is marked
  // optional, and the dispatcher gives it its default when it is left out.
  if (p.optional) attributes += ", optional";
  if (p.optional && !p.by_reference) {
    attributes += ", defaultvalue(" + DefaultText(p.default_value) + ")";
  }
  return "[" + attributes + "] " + IdlType(p.type) + (p.by_reference ? "* " : " ") +
         Utf16ToUtf8(p.name);
}

std::string Member(const MemberInfo& m, bool event) {
  std::string attributes = "id(" + HexId(m.id) + ")";
  if (m.kind == MemberKind::PropertyGet) attributes += ", propget";
  if (m.kind == MemberKind::PropertyPut) attributes += ", propput";
  std::string line = "    [" + attributes + "] " + (event ? "void" : IdlType(m.result)) + " " +
                     Utf16ToUtf8(m.name) + "(";
  for (std::size_t i = 0; i < m.params.size(); ++i) {
    if (i > 0) line += ", ";
    line += Parameter(m.params[i]);
  }
  return line + ");\n";
}

std::string DispatchInterface(const InterfaceInfo& face, bool event) {
  std::string text = "  [uuid(" + GuidDigits(face.id) + ")";
  if (face.hidden) text += ", hidden";  // widl takes no nonextensible for a dispinterface
  text += "]\n  dispinterface " + Utf16ToUtf8(face.name) + " {\n   properties:\n   methods:\n";
  for (const MemberInfo& m : face.members) text += Member(m, event);
  return text + "  };\n\n";
}

}  // namespace

std::string TypeLibraryIdl(const TypeLibraryInfo& library) {
  std::string text =
      "// The type library of the control, written from its member table "
      "(control/automation/idl_text.cpp).\n"
      "// Do not edit: the test TypeLibraryIdl.IdlFileMatchesTheMemberTable rewrites it with "
      "VELKA_WRITE_IDL=1.\n"
      "import \"oaidl.idl\";\n\n";
  text += "[uuid(" + GuidDigits(library.id) + "), version(" + std::to_string(library.major) + "." +
          std::to_string(library.minor) + "), lcid(" + std::to_string(library.locale) +
          "), helpstring(\"" + Utf16ToUtf8(library.help_string) + "\")]\n";
  text += "library " + Utf16ToUtf8(library.name) + " {\n  importlib(\"stdole2.tlb\");\n\n";
  text += DispatchInterface(library.dispatch, false);
  text += DispatchInterface(library.events, true);
  text += "  [uuid(" + GuidDigits(library.class_id) + ")" + (library.control ? ", control" : "") +
          "]\n  coclass " + Utf16ToUtf8(library.class_name) + " {\n    [default] dispinterface " +
          Utf16ToUtf8(library.dispatch.name) + ";\n    [default, source] dispinterface " +
          Utf16ToUtf8(library.events.name) + ";\n  };\n};\n";
  return text;
}

}  // namespace velka
