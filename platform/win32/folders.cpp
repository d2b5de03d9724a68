// Folders on Windows: FindFirstFile and CreateDirectory.
#include "platform/folders.h"

#include <windows.h>

#include "platform/file_status.h"
#include "platform/win32/wide_text.h"

namespace velka {

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  HANDLE search = ::FindFirstFileW(win32::Widen(folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(win32::Narrow(name));
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
  return names;
}

bool CreateFolder(const std::string& folder) {
  if (::CreateDirectoryW(win32::Widen(folder).c_str(), nullptr)) return true;
  return ::GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(folder);
}

}  // namespace velka
