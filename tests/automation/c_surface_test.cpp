// The plain C surface, as a host in another language calls it: functions looked up in the
// library by name, C variants, library-made strings, a callback for events.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/automation/automation_fixture.h"
#include "tests/automation/c_surface_functions.h"

namespace velka::testing {
namespace {

class CSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
    ASSERT_EQ(c.create("TMVVelka.TmvEcrVelka", &object), 0) << c.last_error();
  }
  void TearDown() override {
    if (object) c.release(object);
  }
  HostHome home;
  CSurface c;
  VelkaObject* object = nullptr;
};

TEST_F(CSurfaceTest, PropertiesAndMethodsByIdentifierAndName) {
  VelkaVariant result{};
  ASSERT_EQ(c.invoke(object, PropertyId(20), VELKA_INVOKE_PROPERTYGET, nullptr, 0, &result), 0);
  EXPECT_EQ(result.type, VELKA_VT_LONG);
  EXPECT_EQ(result.value.long_value, 101);

  ASSERT_EQ(c.invoke_by_name(object, "devicename", VELKA_INVOKE_PROPERTYGET, nullptr, 0, &result),
            0);
  ASSERT_EQ(result.type, VELKA_VT_STRING);
  EXPECT_EQ(TextOf(c, result.value.string_value), u"TMV - VELKA PRINTER");
  c.clear(&result);
  EXPECT_EQ(result.type, VELKA_VT_EMPTY);

  VelkaString vat = c.from_utf8("22.5");
  VelkaVariant args[] = {CLong(2), CString(vat)};
  ASSERT_EQ(c.invoke_by_name(object, "SetVatValue", VELKA_INVOKE_METHOD, args, 2, &result), 0);
  EXPECT_EQ(result.value.long_value, 0);
  c.string_free(vat);

  std::int32_t id = 0;
  ASSERT_EQ(c.get_id(object, "PrintRecItem", &id), 0);
  EXPECT_EQ(id, MethodId(42));
}

TEST_F(CSurfaceTest, RefusalsCarryAText) {
  VelkaVariant result{};
  VelkaVariant value = CLong(1);
  EXPECT_EQ(c.invoke(object, PropertyId(20), VELKA_INVOKE_PROPERTYPUT, &value, 1, &result),
            hresult::ReadOnlyProperty);
  EXPECT_NE(std::string(c.last_error()).find("ResultCode"), std::string::npos) << c.last_error();
  EXPECT_EQ(c.invoke_by_name(object, "NoSuchMember", VELKA_INVOKE_METHOD, nullptr, 0, &result),
            hresult::UnknownName);
  EXPECT_EQ(c.invoke(object, MethodId(54), VELKA_INVOKE_METHOD, nullptr, -1, &result),
            hresult::BadParamCount);
  VelkaVariant bad{};
  bad.type = 0x77;
  EXPECT_EQ(c.invoke(object, MethodId(54), VELKA_INVOKE_METHOD, &bad, 1, &result),
            hresult::TypeMismatch);
  VelkaVariant null_ref{};
  null_ref.type = VELKA_VT_LONG | VELKA_VT_BYREF;
  EXPECT_EQ(c.invoke(object, MethodId(59), VELKA_INVOKE_METHOD, &null_ref, 1, &result),
            hresult::TypeMismatch);
  EXPECT_EQ(c.invoke(nullptr, MethodId(54), VELKA_INVOKE_METHOD, nullptr, 0, &result),
            hresult::Pointer);

  VelkaObject* none = nullptr;
  EXPECT_EQ(c.create("No.Such.Class", &none), hresult::ClassNotRegistered);
  EXPECT_EQ(none, nullptr);
  EXPECT_NE(std::string(c.last_error()).find("not registered"), std::string::npos);
}

TEST_F(CSurfaceTest, StringsKeepTheirUnits) {
  const VelkaChar units[] = {u'a', 0x20AC, 0, u'b'};  // an embedded NUL stays
  VelkaString s = c.string_new(units, 4);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(c.length(s), 4);
  EXPECT_EQ(TextOf(c, s), (std::u16string{u'a', 0x20AC, 0, u'b'}));
  c.string_free(s);
  EXPECT_EQ(c.string_new(units, -1), nullptr);
  EXPECT_EQ(c.length(nullptr), 0);
  VelkaString euro = c.from_utf8("\xE2\x82\xAC");
  EXPECT_EQ(TextOf(c, euro), u"\u20AC");
  c.string_free(euro);
}

// Two pages, the first unreadable: a string at the start of the second is a caller's buffer
// that nothing may read in front of.
class GuardedPage {
 public:
  GuardedPage() : size_(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))) {
    void* pages = ::mmap(nullptr, 2 * size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) return;
    base_ = static_cast<char*>(pages);
    if (::mprotect(base_ + size_, size_, PROT_READ | PROT_WRITE) != 0) {
      ::munmap(base_, 2 * size_);
      base_ = nullptr;
      return;
    }
    const VelkaChar units[] = {u'A', u'B', 0};
    std::memcpy(base_ + size_, units, sizeof units);
  }
  ~GuardedPage() {
    if (base_) ::munmap(base_, 2 * size_);
  }
  GuardedPage(const GuardedPage&) = delete;
  GuardedPage& operator=(const GuardedPage&) = delete;
  // "AB" and a NUL at the very start of the readable page; null when mapping failed.
  VelkaString text() const {
    return base_ ? reinterpret_cast<VelkaString>(base_ + size_) : nullptr;
  }

 private:
  std::size_t size_;
  char* base_ = nullptr;
};

// Pointers the library did not hand out (or no longer owns) are refused as arguments, by
// value and by reference, with the caller's variable left as it was; the string functions
// take them for no string. Nothing is read through them: in front of the page-start buffer
// any read faults.
TEST_F(CSurfaceTest, ForeignStringsAreRefusedWithoutBeingRead) {
  GuardedPage page;
  ASSERT_NE(page.text(), nullptr) << "cannot map the guarded page";
  VelkaString kept = c.from_utf8("22.5");
  VelkaString freed = c.from_utf8("10");
  c.string_free(freed);
  const struct {
    const char* what;
    VelkaString pointer;
  } foreign[] = {
      {"a buffer at the start of a page", page.text()},
      {"a pointer into a library string", kept + 1},
      {"a string already freed", freed},
  };
  for (const auto& row : foreign) {
    SCOPED_TRACE(row.what);
    VelkaVariant result{};
    VelkaVariant by_value[] = {CLong(2), CString(row.pointer)};
    EXPECT_EQ(c.invoke_by_name(object, "SetVatValue", VELKA_INVOKE_METHOD, by_value, 2, &result),
              hresult::TypeMismatch);
    EXPECT_NE(std::string(c.last_error()).find("argument 2"), std::string::npos) << c.last_error();
    VelkaString variable = row.pointer;
    VelkaVariant by_reference[] = {CLong(2), CStringRef(&variable)};
    EXPECT_EQ(
        c.invoke_by_name(object, "SetVatValue", VELKA_INVOKE_METHOD, by_reference, 2, &result),
        hresult::TypeMismatch);
    EXPECT_EQ(variable, row.pointer);
    EXPECT_EQ(c.length(row.pointer), 0);
    c.string_free(row.pointer);
    VelkaVariant held = CString(row.pointer);
    c.clear(&held);
    EXPECT_EQ(held.type, VELKA_VT_EMPTY);
  }
  // Freeing the pointer into it left the library's own string whole.
  EXPECT_EQ(TextOf(c, kept), u"22.5");
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(page.text())), u"AB");
  c.string_free(kept);
}

struct Recorded {
  std::vector<std::int32_t> ids;
  std::u16string text;
  const CSurface* c;
};

void OnEvent(void* context, std::int32_t event_id, VelkaVariant* args, std::int32_t count) {
  auto* r = static_cast<Recorded*>(context);
  r->ids.push_back(event_id);
  if (event_id == 5 && count == 3 && args[2].type == (VELKA_VT_STRING | VELKA_VT_BYREF)) {
    r->text = TextOf(*r->c, *args[2].value.string_ref);
  }
}

TEST_F(CSurfaceTest, EventsReachTheCallbackUntilUnadvised) {
  Recorded recorded{{}, {}, &c};
  std::uint32_t cookie = 0;
  ASSERT_EQ(c.advise(object, &OnEvent, &recorded, &cookie), 0);
  // No register on this instance's port: DirectIO only answers, it raises nothing.
  VelkaVariant result{};
  VelkaString command = c.from_utf8("=K");
  std::int32_t data = 0;
  VelkaVariant args[3] = {CLong(1), {}, CStringRef(&command)};
  args[1].type = VELKA_VT_LONG | VELKA_VT_BYREF;
  args[1].value.long_ref = &data;
  ASSERT_EQ(c.invoke_by_name(object, "DirectIO", VELKA_INVOKE_METHOD, args, 3, &result), 0);
  EXPECT_NE(result.value.long_value, 0);
  EXPECT_TRUE(recorded.ids.empty());
  c.string_free(command);
  EXPECT_EQ(c.unadvise(object, cookie), 0);
  EXPECT_EQ(c.unadvise(object, cookie), hresult::NoConnection);
}

// The loop of an object with no port open and no timer: nothing to do, a bounded wait, a
// descriptor that is not readable; and what is refused.
TEST_F(CSurfaceTest, LoopOfAnIdleObjectWaitsItsBoundAndShowsNoWork) {
  std::int32_t wait_ms = 7;
  ASSERT_EQ(c.next_timer_ms(object, &wait_ms), 0);
  EXPECT_EQ(wait_ms, -1);
  VelkaWaitHandle handle = -1;
  ASSERT_EQ(c.event_handle(object, &handle), 0) << c.last_error();
  EXPECT_GE(handle, 0);
  pollfd p{static_cast<int>(handle), POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(c.process_events(object, 30), 0);
  // The loop counts whole milliseconds: a bound of 30 may end up to one short of it.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
  EXPECT_EQ(c.process_events(object, 0), 0);

  EXPECT_EQ(c.process_events(object, -1), hresult::InvalidArgument);
  EXPECT_NE(std::string(c.last_error()).find("bound"), std::string::npos) << c.last_error();
  EXPECT_EQ(c.process_events(nullptr, 0), hresult::Pointer);
  EXPECT_EQ(c.event_handle(object, nullptr), hresult::Pointer);
  EXPECT_EQ(c.next_timer_ms(object, nullptr), hresult::Pointer);
}

// An object belongs to the thread that made it: from any other, every call on it is refused
// and changes nothing.
TEST_F(CSurfaceTest, CallsFromAnotherThreadAreRefused) {
  std::vector<VelkaStatus> statuses;
  std::string error;
  std::thread other([&] {
    VelkaVariant result{};
    VelkaVariant value = CBoolean(true);
    std::int32_t id = 0;
    std::uint32_t cookie = 0;
    VelkaWaitHandle handle = -1;
    std::int32_t wait_ms = 0;
    statuses = {
        c.invoke(object, PropertyId(5), VELKA_INVOKE_PROPERTYPUT, &value, 1, &result),
        c.invoke_by_name(object, "PrintXReport", VELKA_INVOKE_METHOD, nullptr, 0, &result),
        c.get_id(object, "PrintXReport", &id),
        c.advise(object, &OnEvent, nullptr, &cookie),
        c.unadvise(object, 1),
        c.process_events(object, 0),
        c.event_handle(object, &handle),
        c.next_timer_ms(object, &wait_ms),
    };
    error = c.last_error();
  });
  other.join();
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    EXPECT_EQ(statuses[i], hresult::WrongThread) << "call " << i;
  }
  EXPECT_NE(error.find("thread"), std::string::npos) << error;
  VelkaVariant async{};
  ASSERT_EQ(c.invoke(object, PropertyId(5), VELKA_INVOKE_PROPERTYGET, nullptr, 0, &async), 0);
  EXPECT_EQ(async.value.boolean_value, 0);
}

}  // namespace
}  // namespace velka::testing
