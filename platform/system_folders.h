#pragma once
// The machine-wide folders of the desktop conventions, searched after the user's own
// (user_folders.h) so that what a package installs for every user is found by each of them,
// a service account without a home included:
//   SystemDataFolders()    $XDG_DATA_DIRS, else /usr/local/share and /usr/share
//   SystemConfigFolders()  $XDG_CONFIG_DIRS, else /etc/xdg
// Entries are separated by ":", most important first; relative and empty entries are not
// honoured, and no entry ends with "/". A variable that holds no usable entry gives the
// default.
#include <string>
#include <string_view>
#include <vector>

namespace velka {

std::vector<std::string> SystemDataFolders();
std::vector<std::string> SystemConfigFolders();

// The absolute entries of a ":"-separated folder list, in order, without trailing "/" and
// without repeats; empty when there is none.
std::vector<std::string> FolderList(std::string_view text);

}  // namespace velka
