// velka-register: registers the control library (its own DllRegisterServer) or removes its
// registration (DllUnregisterServer), for the user running it or, with --system, for every
// user of the machine. A package's installation scripts call it; so may an administrator
// after installing from a build tree.
//
// The entry points take no arguments: --system tells the library through the environment
// (VELKA_REGISTER_SYSTEM, automation/activation/registration_record.h) and the registration
// goes under the first machine-wide data folder ($XDG_DATA_DIRS, default /usr/local/share).
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "automation/activation/registration_record.h"
#include "automation/hresult.h"
#include "platform/shared_library.h"

namespace velka {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 64;
constexpr char kDefaultLibrary[] = "libTMVVelka.so.1";

constexpr char kHelp[] =
    "Usage: velka-register [--system] [--unregister] [LIBRARY]\n"
    "Registers the TMVVelka control library LIBRARY (default libTMVVelka.so.1, as the loader\n"
    "finds it) through its DllRegisterServer, so that hosts create TMVVelka.TmvEcrVelka by\n"
    "name; --unregister removes the registration through its DllUnregisterServer.\n"
    "\n"
    "  --system      for every user of the machine: under the first folder of $XDG_DATA_DIRS\n"
    "                (default /usr/local/share), in TMV SPA/classes/; needs write access there\n"
    "  --unregister  remove the registration instead\n"
    "  --help        show this text\n"
    "  --version     show the version\n"
    "\n"
    "Without --system the registration is the user's own, in $XDG_DATA_HOME/TMV SPA/classes/\n"
    "(default ~/.local/share). Hosts look in the user's folder first, then in the machine's.\n"
    "Exit status: 0 done, 1 failed (the reason on standard error), 64 wrong arguments.\n";

struct Request {
  bool system = false;
  bool unregister = false;
  std::string library = kDefaultLibrary;
};

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "velka-register: %s\nusage: velka-register [--system] [--unregister] [LIBRARY]\n",
               problem.c_str());
  return kExitUsage;
}

// An exit status when the program ends at once.
std::optional<int> Parse(int argc, char** argv, Request& request) {
  bool library_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("velka-register %s\n", VELKA_VERSION);
      return 0;
    }
    if (arg == "--system") {
      request.system = true;
    } else if (arg == "--unregister") {
      request.unregister = true;
    } else if (arg.starts_with("-") || library_given) {
      return Usage("unexpected argument " + arg);
    } else {
      request.library = arg;
      library_given = true;
    }
  }
  return std::nullopt;
}

// The library's own account of the failure, where it gives one.
std::string LibraryError(void* library) {
  std::string ignored;
  using LastError = const char* (*)();
  auto last_error =
      reinterpret_cast<LastError>(FindLibrarySymbol(library, "velka_last_error", ignored));
  const char* text = last_error ? last_error() : nullptr;
  return text != nullptr && *text != '\0' ? std::string(": ") + text : std::string();
}

int Run(const Request& request) {
  if (request.system) ::setenv(kRegisterSystemVariable, "1", 1);
  std::string error;
  void* library = LoadSharedLibrary(request.library, error);
  if (!library) {
    std::fprintf(stderr, "velka-register: cannot load %s: %s\n", request.library.c_str(),
                 error.c_str());
    return kExitFailed;
  }
  const char* entry = request.unregister ? "DllUnregisterServer" : "DllRegisterServer";
  using EntryPoint = HResult (*)();
  auto call = reinterpret_cast<EntryPoint>(FindLibrarySymbol(library, entry, error));
  if (!call) {
    std::fprintf(stderr, "velka-register: %s: %s\n", request.library.c_str(), error.c_str());
    return kExitFailed;
  }
  const HResult status = call();
  if (Failed(status)) {
    std::fprintf(stderr, "velka-register: %s failed (%s)%s\n", entry, HResultName(status).c_str(),
                 LibraryError(library).c_str());
    return kExitFailed;
  }
  const std::string holder = PathOfLibraryHolding(reinterpret_cast<const void*>(call));
  std::printf("%s %s in %s\n", holder.empty() ? request.library.c_str() : holder.c_str(),
              request.unregister ? "unregistered" : "registered", RegistrationFolder().c_str());
  return 0;
}

}  // namespace
}  // namespace velka

int main(int argc, char** argv) {
  velka::Request request;
  if (std::optional<int> end = velka::Parse(argc, argv, request)) return *end;
  return velka::Run(request);
}
