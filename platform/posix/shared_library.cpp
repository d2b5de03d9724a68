#include "platform/shared_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

namespace velka {

namespace {

std::string LastLoaderError() {
  const char* text = ::dlerror();
  return text ? text : "unknown loader error";
}

}  // namespace

void* LoadSharedLibrary(const std::string& path, std::string& error) {
  ::dlerror();
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) error = LastLoaderError();
  return library;
}

void* FindLibrarySymbol(void* library, const char* name, std::string& error) {
  if (!library) {
    error = "no library";
    return nullptr;
  }
  ::dlerror();
  void* symbol = ::dlsym(library, name);
  if (!symbol) error = LastLoaderError();
  return symbol;
}

std::string PathOfLibraryHolding(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0') {
    return {};
  }
  // dladdr gives the name the library was loaded by; registrations need it absolute.
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved) != nullptr) return resolved;
  return info.dli_fname;
}

}  // namespace velka
