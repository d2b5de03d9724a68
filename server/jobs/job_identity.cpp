// The identity of a job's command file.
#include "server/jobs/job_identity.h"

namespace velka::server {

namespace {

constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

}  // namespace

std::uint64_t ContentDigest(std::string_view bytes) {
  std::uint64_t hash = kFnvOffsetBasis;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kFnvPrime;
  }
  return hash;
}

JobIdentity IdentityOfJob(const std::string& path, const FileIdentity& file,
                          std::string_view bytes) {
  return JobIdentity{path, file.size, file.modified_ns, ContentDigest(bytes)};
}

}  // namespace velka::server
