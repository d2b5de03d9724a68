// The cost of the job journal's writes, for the server benchmark (server_bench.py): the
// progress record written after each line of a job, the cheap (unflushed) replacing write of
// the journal, the durable one that surrounds the lines whose outcome the register cannot show,
// the durable result file, and the unflushed PackID the control writes after each frame. Each
// is timed over many writes in the folder given (on the disk the server would use), and printed
// as "<name> <milliseconds per write>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/reserved_file.h"
#include "platform/settings_store.h"
#include "server/jobs/job_journal.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Write>
double MillisPerWrite(int count, Write write) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) write(i);
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / count;
}

// A journal as it stands in the middle of a receipt job.
velka::server::JournalState TypicalJournal(const std::string& folder) {
  velka::server::JobRecord job;
  job.job = {folder + "/TOSEND/Sale0001.txt", 190, 1765208820123456789, 0x0123456789abcdefULL};
  job.base = folder + "/TOSEND/Sale0001";
  job.reservation = job.base + ".OK.4242_0.tmp";
  job.status_before = "000000010041";
  job.last_row = 10;
  job.next_line = "=R1/$1.5/*2/(CAFFE)";
  velka::server::JournalState state;
  state.job = job;
  state.clean = false;
  return state;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: journal_cost FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  velka::server::JobJournal journal(folder + "/VelkaDriverServer.journal");
  journal.state() = TypicalJournal(folder);
  auto line_write = [&](velka::server::JournalWrite strength) {
    return [&journal, strength](int i) {
      journal.state().job->answered = i % 10;
      journal.Write(strength);
    };
  };
  const double progress =
      MillisPerWrite(2000, [&journal](int i) { journal.WriteProgress(1 + i % 10); });
  const double cheap = MillisPerWrite(500, line_write(velka::server::JournalWrite::Cheap));
  const double durable = MillisPerWrite(50, line_write(velka::server::JournalWrite::Durable));
  const double result = MillisPerWrite(50, [&](int) {
    velka::ReservedFile reserved;
    reserved.reserve(folder + "/Sale.OK", 8192);
    reserved.commit(folder + "/Sale.OK", "08/12/2026 14:47;Dump=0001\r\n", true);
  });
  ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
  velka::IniSettingsStore store;
  const double pack_id = MillisPerWrite(2000, [&](int i) {
    store.writeUnflushed("TMV SPA", "VELKA", "PackID", std::to_string(i % 10));
  });
  std::printf("progress %.4f\ncheap %.4f\ndurable %.4f\nresult %.4f\npackid %.4f\n", progress,
              cheap, durable, result, pack_id);
  return 0;
}
