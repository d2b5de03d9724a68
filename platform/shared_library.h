#pragma once
// Shared libraries loaded at run time, and the path of the library that holds a piece of code
// (a library finding its own file, as a self-registering library must).
#include <string>

namespace velka {

// Loads the library at path (symbols resolved at once, kept to itself). A loaded library stays
// loaded for the life of the process: objects it made may outlive any one user of it.
// Null with the reason in error when it cannot be loaded.
void* LoadSharedLibrary(const std::string& path, std::string& error);

// The address of an exported symbol; null with the reason in error when it is missing.
void* FindLibrarySymbol(void* library, const char* name, std::string& error);

// The absolute path of the library (or program) whose code or data holds address; empty when
// the system cannot tell.
std::string PathOfLibraryHolding(const void* address);

}  // namespace velka
