#pragma once
// The version of the control library, as its version record gives it (1.0.0.10) and as the
// trace banner shows it (major.minor.revision).
namespace velka {
inline constexpr int kLibraryVersionMajor = 1;
inline constexpr int kLibraryVersionMinor = 0;
inline constexpr int kLibraryVersionBuild = 0;
inline constexpr int kLibraryVersionRevision = 10;
inline constexpr const char* kLibraryVersionRecord = "1.0.0.10";
inline constexpr const char* kLibraryVersionTrace = "1.0.10";
}  // namespace velka
