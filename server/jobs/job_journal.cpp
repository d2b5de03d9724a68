// The job journal: its text and its file.
#include "server/jobs/job_journal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/content_digest.h"
#include "platform/whole_file.h"
#include "server/jobs/command_file.h"

namespace velka::server {

namespace {

// Far above a journal's size: one job and a few kept files.
constexpr std::size_t kMaxJournalBytes = 4 * 1024 * 1024;

constexpr char kHeading[] =
    "# VelkaDriverServer: the job in progress and the kept command files. Do not edit.";

// "<generation> <row> <digest of the two>", padded to one length.
constexpr std::size_t kProgressWidth = 63;

std::string ProgressText(std::uint64_t generation, std::int32_t answered) {
  const std::string fields = std::to_string(generation) + " " + std::to_string(answered);
  char digest[24];
  std::snprintf(digest, sizeof digest, "%016llx",
                static_cast<unsigned long long>(ContentDigest(fields)));
  std::string record = fields + " " + digest;
  record.resize(std::max(record.size(), kProgressWidth), ' ');
  return record + "\n";
}

std::string Escaped(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    if (c == '%' || c == '\r' || c == '\n') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescaped(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size()) {
      const int high = HexDigit(value[i + 1]);
      const int low = HexDigit(value[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += value[i];
  }
  return out;
}

template <typename Number>
Number NumberOf(std::string_view text, int base = 10) {
  Number value{};
  std::from_chars(text.data(), text.data() + text.size(), value, base);
  return value;
}

std::string DigestText(std::uint64_t digest) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
  return text;
}

void AddLine(std::string& out, std::string_view key, std::string_view value) {
  out.append(key);
  out += '=';
  out += Escaped(value);
  out += '\n';
}

void AddJob(std::string& out, const JobRecord& job) {
  AddLine(out, "job", job.job.path);
  AddLine(out, "size", std::to_string(job.job.size));
  AddLine(out, "modified", std::to_string(job.job.modified_ns));
  AddLine(out, "digest", DigestText(job.job.digest));
  AddLine(out, "delete", job.delete_after ? "1" : "0");
  AddLine(out, "base", job.base);
  AddLine(out, "reservation", job.reservation);
  AddLine(out, "status", job.status_before);
  AddLine(out, "lastrow", std::to_string(job.last_row));
  AddLine(out, "answered", std::to_string(job.answered));
  AddLine(out, "inflight", std::to_string(job.in_flight));
  AddLine(out, "next", job.next_line);
  if (job.cancelling) AddLine(out, "restart", std::to_string(job.restart_row));
  AddLine(out, "stage", job.stage == JobRecord::Stage::Decided ? "decided" : "running");
  if (job.stage != JobRecord::Stage::Decided) return;
  AddLine(out, "code", std::to_string(job.code));
  AddLine(out, "row", std::to_string(job.row));
  AddLine(out, "extended", std::to_string(job.extended));
  AddLine(out, "line", job.line);
}

// "kept=<size> <modified> <digest> <path>": the path last, so that it may hold blanks.
std::string KeptText(const JobIdentity& identity) {
  return std::to_string(identity.size) + " " + std::to_string(identity.modified_ns) + " " +
         DigestText(identity.digest) + " " + identity.path;
}

std::optional<JobIdentity> KeptOf(std::string_view text) {
  JobIdentity identity;
  std::string_view fields[3];
  for (std::string_view& field : fields) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    field = text.substr(0, blank);
    text.remove_prefix(blank + 1);
  }
  if (text.empty()) return std::nullopt;
  identity.size = NumberOf<std::int64_t>(fields[0]);
  identity.modified_ns = NumberOf<std::int64_t>(fields[1]);
  identity.digest = NumberOf<std::uint64_t>(fields[2], 16);
  identity.path = std::string(text);
  return identity;
}

void ReadJobKey(JobRecord& job, std::string_view key, const std::string& value) {
  if (key == "job") job.job.path = value;
  if (key == "size") job.job.size = NumberOf<std::int64_t>(value);
  if (key == "modified") job.job.modified_ns = NumberOf<std::int64_t>(value);
  if (key == "digest") job.job.digest = NumberOf<std::uint64_t>(value, 16);
  if (key == "delete") job.delete_after = value != "0";
  if (key == "base") job.base = value;
  if (key == "reservation") job.reservation = value;
  if (key == "status") job.status_before = value;
  if (key == "lastrow") job.last_row = NumberOf<std::int32_t>(value);
  if (key == "answered") job.answered = NumberOf<std::int32_t>(value);
  if (key == "restart") {
    job.cancelling = true;
    job.restart_row = NumberOf<std::int32_t>(value);
  }
  if (key == "inflight") job.in_flight = NumberOf<std::int32_t>(value);
  if (key == "next") job.next_line = value;
  if (key == "stage") {
    job.stage = value == "decided" ? JobRecord::Stage::Decided : JobRecord::Stage::Running;
  }
  if (key == "code") job.code = NumberOf<std::int32_t>(value);
  if (key == "row") job.row = NumberOf<std::int32_t>(value);
  if (key == "extended") job.extended = NumberOf<std::int32_t>(value);
  if (key == "line") job.line = value;
}

}  // namespace

std::string FormatJournal(const JournalState& state) {
  std::string out = std::string(kHeading) + "\n";
  AddLine(out, "clean", state.clean ? "1" : "0");
  AddLine(out, "generation", std::to_string(state.generation));
  if (state.job) AddJob(out, *state.job);
  for (const KeptFile& kept : state.kept) AddLine(out, "kept", KeptText(kept.identity));
  return out;
}

JournalState ParseJournal(std::string_view text) {
  JournalState state;
  state.clean = false;
  JobRecord job;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (line.starts_with("#") || equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string value = Unescaped(line.substr(equals + 1));
    if (key == "clean") {
      state.clean = value == "1";
    } else if (key == "generation") {
      state.generation = NumberOf<std::uint64_t>(value);
    } else if (key == "kept") {
      if (std::optional<JobIdentity> kept = KeptOf(value)) state.kept.push_back({*kept, {}});
    } else {
      ReadJobKey(job, key, value);
    }
  }
  if (!job.job.path.empty()) state.job = std::move(job);
  return state;
}

bool JobJournal::Load() {
  state_ = JournalState{};
  const FileRead read = ReadRegularFile(path_, kMaxJournalBytes);
  if (read.status == FileReadStatus::Missing) return true;
  if (read.status != FileReadStatus::Read) return false;
  state_ = ParseJournal(read.bytes);
  TakeProgress();
  return true;
}

// A whole progress record of this generation that goes further than the journal's own row.
void JobJournal::TakeProgress() {
  if (!state_.job || state_.job->stage != JobRecord::Stage::Running) return;
  const FileRead read = ReadRegularFile(ProgressPath(), kProgressWidth + 1);
  if (read.status != FileReadStatus::Read) return;
  // The record is taken only when it is exactly what its two numbers would write.
  const std::string& text = read.bytes;
  std::uint64_t generation = 0;
  std::int32_t answered = 0;
  const char* end = text.data() + text.size();
  const auto first = std::from_chars(text.data(), end, generation);
  if (first.ec != std::errc() || first.ptr == end) return;
  std::from_chars(first.ptr + 1, end, answered);
  if (ProgressText(generation, answered) != text) return;
  JobRecord& job = *state_.job;
  if (generation != state_.generation || answered <= job.answered || job.in_flight != 0) return;
  job.answered = answered;
  job.next_line.clear();  // the journal knew the line after its own row only
}

bool JobJournal::Write(JournalWrite strength) {
  ++state_.generation;
  return WriteFileReplacing(path_, FormatJournal(state_),
                            {.durable = strength == JournalWrite::Durable});
}

bool JobJournal::WriteProgress(std::int32_t answered) {
  if (!state_.job) return false;
  state_.job->answered = answered;
  if (!progress_.isOpen() && !progress_.open(ProgressPath())) return false;
  return progress_.write(ProgressText(state_.generation, answered));
}

void JobJournal::Keep(const JobIdentity& identity, const FileIdentity& seen) {
  std::erase_if(state_.kept, [&](const KeptFile& k) { return k.identity.path == identity.path; });
  state_.kept.push_back({identity, seen});
}

bool JobJournal::StillKept(KeptFile& kept) {
  const std::optional<FileIdentity> now = EntryIdentityOf(kept.identity.path);
  if (!now) return false;
  if (kept.seen && *kept.seen == *now) return true;
  if (now->size != kept.identity.size || now->modified_ns != kept.identity.modified_ns) {
    return false;
  }
  const CommandFileContent content = ReadCommandFile(kept.identity.path, {.follow_links = false});
  // A file nobody may read keeps its place by its size and time: it cannot be sent anyway.
  const bool unreadable = content.status == CommandFileContent::Status::Unreadable;
  if (!unreadable && (!content.identity || *content.identity != kept.identity)) return false;
  kept.seen = now;
  return true;
}

bool JobJournal::IsKept(const std::string& path) {
  auto entry = std::find_if(state_.kept.begin(), state_.kept.end(),
                            [&](const KeptFile& k) { return k.identity.path == path; });
  if (entry == state_.kept.end()) return false;
  if (StillKept(*entry)) return true;
  state_.kept.erase(entry);  // written anew: a new job
  Write(JournalWrite::Cheap);
  return false;
}

void JobJournal::ForgetChangedKept() {
  const std::size_t before = state_.kept.size();
  std::erase_if(state_.kept, [this](KeptFile& k) { return !StillKept(k); });
  if (state_.kept.size() != before) Write(JournalWrite::Cheap);
}

}  // namespace velka::server
