#pragma once
// Folders: what one holds, and making one.
#include <string>
#include <vector>

namespace velka {

// The names of the folder's entries in the order in which the file system lists them, without
// "." and ".."; empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);

// Creates the folder's last level (its parent must exist). True when it is a folder
// afterwards.
bool CreateFolder(const std::string& folder);

}  // namespace velka
