// The identity of a job's command file.
#include "server/jobs/job_identity.h"

#include "platform/content_digest.h"

namespace velka::server {

JobIdentity IdentityOfJob(const std::string& path, const FileIdentity& file,
                          std::string_view bytes) {
  return JobIdentity{path, file.size, file.modified_ns, ContentDigest(bytes)};
}

}  // namespace velka::server
