// --help, --version and the refusal of anything else.
#include "server/ui/command_line.h"

#include <cstdio>
#include <string_view>

namespace velka::server::ui {

namespace {

constexpr char kUsage[] = "usage: VelkaDriverServer [--help | --version]\n";

constexpr char kHelp[] =
    "The job server of the Velka fiscal cash register: it takes command files from its input\n"
    "folder, sends their lines to the register through the TMVVelka control and reports each\n"
    "job in a result file (.OK or .KO) and in its log.\n"
    "\n"
    "Without arguments it starts: with its window and tray icon on a desktop (DISPLAY or\n"
    "WAYLAND_DISPLAY set), headless otherwise, printing each change of what the window shows\n"
    "on standard output, one line each with the time. SIGTERM or SIGINT stops it through the\n"
    "normal shutdown (Stop.txt, the control closed).\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Program folder: $VELKA_SERVER_HOME, else the executable's folder. It holds TMVSERVER.INI\n"
    "(section [Parameters]: Port, BaudRate, Language, Frequence, MaxLogDimension,\n"
    "DirectoryInput, DirectoryOutput, DirectoryOutputData), the start and stop files Avvio.txt\n"
    "and Stop.txt, and the lock that keeps a second server off the folder.\n"
    "Port N is the device that com<N> names in $XDG_CONFIG_HOME/TMV SPA/ports/ (default\n"
    "~/.config), else in /etc/xdg/TMV SPA/ports/ (a symbolic link or a one-line file), else\n"
    "/dev/ttyS<N-1>. The control is found through its registration (velka-register).\n"
    "\n"
    "Exit status: 0 after a normal shutdown; 2 another server runs on the program folder\n"
    "(message 550); 3 the control cannot be created or opened (message 551, then the reason:\n"
    "the device and what keeps it from opening); 64 wrong arguments.\n";

}  // namespace

std::optional<int> HandleCommandLine(int argc, char** argv) {
  if (argc <= 1) return std::nullopt;
  const std::string_view arg = argv[1];
  if (argc == 2 && (arg == "--help" || arg == "-h")) {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && arg == "--version") {
    std::printf("VelkaDriverServer %s\n", VELKA_VERSION);
    return 0;
  }
  std::fprintf(stderr, "VelkaDriverServer: unexpected argument %s\n%s", argv[1], kUsage);
  return kExitUsage;
}

}  // namespace velka::server::ui
