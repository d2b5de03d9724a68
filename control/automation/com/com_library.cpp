#include "control/automation/com/com_library.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/shared_library.h"
#include "platform/single_byte_text.h"
#include "platform/system_factory.h"

namespace velka::com {

namespace {

std::atomic<long> g_live_objects{0};

class ThreadControlSite : public ControlSite {
 public:
  ThreadControlSite() : loop_(CreateSystemEventLoop()) {}
  EventLoop* eventLoop() override { return loop_.get(); }

 private:
  std::unique_ptr<EventLoop> loop_;
};

}  // namespace

GUID ToGuid(const Guid& id) {
  GUID g{};
  g.Data1 = id.data1;
  g.Data2 = id.data2;
  g.Data3 = id.data3;
  for (int i = 0; i < 8; ++i) g.Data4[i] = id.data4[i];
  return g;
}

std::wstring LibraryFile() {
  const std::u16string path =
      Utf8ToUtf16(PathOfLibraryHolding(reinterpret_cast<const void*>(&LibraryFile)));
  std::wstring file(path.begin(), path.end());
  std::replace(file.begin(), file.end(), L'/', L'\\');  // as the registry and loader want it
  return file;
}

HRESULT LibraryTypeInfo(const GUID& type, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  // Loaded once per thread and kept: type information is asked for often, and the
  // library's own file does not change under it.
  thread_local ITypeLib* library = nullptr;
  if (!library) {
    const HRESULT status = ::LoadTypeLibEx(LibraryFile().c_str(), REGKIND_NONE, &library);
    if (FAILED(status)) return status;
  }
  return library->GetTypeInfoOfGuid(type, info);
}

void ObjectCreated() {
  ++g_live_objects;
}
void ObjectDestroyed() {
  --g_live_objects;
}
long LiveComObjects() {
  return g_live_objects.load();
}

ControlSite* ThreadSite() {
  // Never destroyed: a control released inside an event may still be waiting for the loop's
  // next turn when the thread ends.
  thread_local ThreadControlSite* site = new ThreadControlSite();
  return site;
}

}  // namespace velka::com
