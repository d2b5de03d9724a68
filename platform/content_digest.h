#pragma once
// A 64-bit digest of bytes (FNV-1a): it tells one content from another, as a check that a
// record read back is the one written or that a file is the version named. It is no security
// check: nobody gains by forging a content with the same digest.
#include <cstdint>
#include <string_view>

namespace velka {

constexpr std::uint64_t ContentDigest(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

}  // namespace velka
