#include "control/automation/com/com_registration.h"

#include <oleauto.h>
#include <olectl.h>

#include "automation/identity.h"
#include "control/automation/com/com_library.h"

namespace velka::com {

// {3502F9CA-3DA9-4054-928A-4FEBF0CC7424}
const GUID kEventRelayClassId = {
    0x3502F9CA, 0x3DA9, 0x4054, {0x92, 0x8A, 0x4F, 0xEB, 0xF0, 0xCC, 0x74, 0x24}};

namespace {

std::wstring Text(const GUID& id) {
  wchar_t text[40];
  ::StringFromGUID2(id, text, 40);
  return text;
}

std::wstring Wide(const char* ascii) {
  return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

// Sets the value (the default one when name is null) of a key of HKEY_CLASSES_ROOT.
bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok =
      ::RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  ::RegCloseKey(handle);
  return ok;
}

bool CreateKey(const std::wstring& key) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(handle);
  return true;
}

// Removes a key with everything under it; a missing key is no error.
bool RemoveKey(const std::wstring& key) {
  const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return false;
  ::RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return true;
}

struct ClassKeys {
  GUID id;
  std::wstring prog_id;
  std::wstring name;
  bool control;
};

ClassKeys ControlClass() {
  return {ToGuid(identity::kClassId), Wide(identity::kProgId), L"TmvEcrVelka", true};
}
ClassKeys RelayClass() {
  return {kEventRelayClassId, kEventRelayProgId, L"TMVVelka event relay for scripts", false};
}

bool WriteClass(const ClassKeys& c, const std::wstring& library) {
  const std::wstring clsid = L"CLSID\\" + Text(c.id);
  bool ok =
      SetValue(c.prog_id, nullptr, c.name) &&
      SetValue(c.prog_id + L"\\CLSID", nullptr, Text(c.id)) && SetValue(clsid, nullptr, c.name) &&
      SetValue(clsid + L"\\InprocServer32", nullptr, library) &&
      SetValue(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
      SetValue(clsid + L"\\ProgID", nullptr, c.prog_id) && CreateKey(clsid + L"\\Programmable");
  if (ok && c.control) {
    ok = SetValue(clsid + L"\\TypeLib", nullptr, Text(ToGuid(identity::kLibraryId))) &&
         SetValue(clsid + L"\\Version", nullptr, L"1.0") && CreateKey(clsid + L"\\Control");
  }
  return ok;
}

bool RemoveClass(const ClassKeys& c) {
  return RemoveKey(c.prog_id) && RemoveKey(L"CLSID\\" + Text(c.id));
}

}  // namespace

HRESULT RegisterLibrary(std::string& error) {
  const std::wstring library = LibraryFile();
  if (library.empty()) {
    error = "the library cannot tell its own file";
    return SELFREG_E_CLASS;
  }
  if (!WriteClass(ControlClass(), library) || !WriteClass(RelayClass(), library)) {
    error = "cannot write the class keys (run as an administrator)";
    return SELFREG_E_CLASS;
  }
  // The type library writes its own keys and those of its interfaces.
  ITypeLib* types = nullptr;
  HRESULT status = ::LoadTypeLibEx(library.c_str(), REGKIND_NONE, &types);
  if (SUCCEEDED(status)) {
    std::wstring path = library;
    status = ::RegisterTypeLib(types, path.data(), nullptr);
    types->Release();
  }
  if (FAILED(status)) {
    error = "cannot register the type library";
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

HRESULT UnregisterLibrary(std::string& error) {
  const GUID library = ToGuid(identity::kLibraryId);
  const HRESULT status =
      ::UnRegisterTypeLib(library, identity::kTypeLibraryMajor, identity::kTypeLibraryMinor,
                          identity::kLocale, SYS_WIN64);
  bool ok = RemoveClass(ControlClass()) && RemoveClass(RelayClass());
  // Whatever the type library left of its own keys goes too.
  ok = RemoveKey(L"TypeLib\\" + Text(library)) && ok;
  for (const Guid& face : {identity::kDispatchInterfaceId, identity::kEventInterfaceId}) {
    ok = RemoveKey(L"Interface\\" + Text(ToGuid(face))) && ok;
  }
  if (!ok) {
    error = "cannot remove the registration (run as an administrator)";
    return SELFREG_E_CLASS;
  }
  (void)status;  // a type library never registered is no failure of the unregistration
  return S_OK;
}

}  // namespace velka::com
