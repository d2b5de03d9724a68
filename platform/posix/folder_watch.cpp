// The folder watch on inotify: files closed after writing and files moved in, the folder's own
// end, and the overflow of the kernel's queue.
#include "platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velka {

namespace {

constexpr std::uint32_t kWatched =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr std::uint32_t kEnds = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

class InotifyFolderWatch : public FolderWatch {
 public:
  explicit InotifyFolderWatch(int fd) : fd_(fd) {}
  ~InotifyFolderWatch() override { ::close(fd_); }
  InotifyFolderWatch(const InotifyFolderWatch&) = delete;
  InotifyFolderWatch& operator=(const InotifyFolderWatch&) = delete;

  NativeHandle handle() const override { return fd_; }

  FolderChanges take() override {
    FolderChanges changes;
    // Room for the largest notice (a name of NAME_MAX bytes) and aligned for the records.
    alignas(inotify_event) char buffer[16 * 1024];
    while (changes.files.size() + kRecordsPerRead <= kMaxFolderChanges) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // EAGAIN: nothing more waits
      for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        Note(*event, changes);
      }
    }
    return changes;
  }

 private:
  // The most records one read can hold: a record without a name takes 16 bytes.
  static constexpr std::size_t kRecordsPerRead = 16 * 1024 / sizeof(inotify_event);

  static void Note(const inotify_event& event, FolderChanges& changes) {
    if (event.mask & IN_Q_OVERFLOW) changes.overflowed = true;
    if (event.mask & kEnds) changes.ended = true;
    if (event.len == 0 || (event.mask & IN_ISDIR)) return;
    FolderChange change;
    if (event.mask & IN_MOVED_TO) {
      change.kind = FolderChange::Kind::MovedIn;
    } else if (event.mask & IN_CLOSE_WRITE) {
      change.kind = FolderChange::Kind::Written;
    } else {
      return;
    }
    change.name = std::string(event.name, ::strnlen(event.name, event.len));
    changes.files.push_back(std::move(change));
  }

  int fd_;
};

}  // namespace

std::unique_ptr<FolderWatch> WatchFolder(const std::string& folder, std::string* why) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    if (why) *why = std::string("no folder watch: ") + std::strerror(errno);
    return nullptr;
  }
  if (::inotify_add_watch(fd, folder.c_str(), kWatched) < 0) {
    if (why) *why = "cannot watch " + folder + ": " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<InotifyFolderWatch>(fd);
}

}  // namespace velka
