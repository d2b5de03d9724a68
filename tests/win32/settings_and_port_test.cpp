// The per-user settings of Windows in the current user's registry hive, and the port's names
// and failures.
#include "platform/win32/registry_settings_store.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/message_event_loop.h"
#include "platform/win32/win32_serial_port.h"

namespace velka {
namespace {

constexpr const char* kApplication = "TMV SPA Test";

class RegistrySettingsStoreTest : public ::testing::Test {
 protected:
  ~RegistrySettingsStoreTest() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TMV SPA Test");
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TMV SPA Test");
  }
  RegistrySettingsStore store;
};

TEST_F(RegistrySettingsStoreTest, KeepsTextValuesByApplicationSectionAndKey) {
  EXPECT_FALSE(store.read(kApplication, "VELKA", "PackID").has_value());
  ASSERT_TRUE(store.write(kApplication, "VELKA", "PackID", "7"));
  ASSERT_TRUE(store.write(kApplication, "VELKA", "ProgDataLOG", "06/12/2026"));
  ASSERT_TRUE(store.write(kApplication, "VELKA", "PackID", "8"));  // replaced in place
  EXPECT_EQ(store.read(kApplication, "VELKA", "PackID"), "8");
  EXPECT_EQ(store.read(kApplication, "VELKA", "ProgDataLOG"), "06/12/2026");
  EXPECT_FALSE(store.read(kApplication, "OTHER", "PackID").has_value());
  // Keys are found whatever their letter case, as the registry does.
  EXPECT_EQ(store.read(kApplication, "velka", "packid"), "8");
  // Text that is not ASCII survives the round trip.
  ASSERT_TRUE(store.write(kApplication, "VELKA", "Note", "caff\xC3\xA8 \xE2\x82\xAC"));
  EXPECT_EQ(store.read(kApplication, "VELKA", "Note"), "caff\xC3\xA8 \xE2\x82\xAC");
}

TEST_F(RegistrySettingsStoreTest, RefusesNamesThatWouldLeaveItsKey) {
  EXPECT_EQ(RegistrySettingsStore::KeyPath("TMV SPA", "VELKA"), "Software\\TMV SPA\\VELKA");
  EXPECT_EQ(RegistrySettingsStore::KeyPath("TMV SPA\\..", "VELKA"), "");
  EXPECT_EQ(RegistrySettingsStore::KeyPath("", "VELKA"), "");
  EXPECT_FALSE(store.write("a\\b", "VELKA", "PackID", "1"));
  EXPECT_FALSE(store.read("TMV SPA", "", "PackID").has_value());
}

TEST(Win32SerialPort, NamesThePortByItsNumber) {
  EXPECT_EQ(Win32SerialPort::DeviceNameForPort(1), "\\\\.\\COM1");
  EXPECT_EQ(Win32SerialPort::DeviceNameForPort(12), "\\\\.\\COM12");
  EXPECT_EQ(Win32SerialPort::DeviceNameForPort(0), "");
  EXPECT_EQ(Win32SerialPort::DeviceNameForPort(-3), "");
}

// A port that does not exist or cannot be a port fails to open, with a reason, and stays
// closed: no handle to wait on, nothing read, nothing written.
TEST(Win32SerialPort, MissingPortFailsWithAReason) {
  MessageEventLoop loop;
  Win32SerialPort port(loop);
  std::string why_250;
  for (int number : {0, -1, 250}) {
    EXPECT_FALSE(port.open(number, 9600)) << number;
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.lastError().empty()) << number;
    if (number == 250) why_250 = port.lastError();
    EXPECT_EQ(port.readinessHandle(), kNoHandle);
    EXPECT_EQ(port.bytesWaiting(), 0u);
    EXPECT_FALSE(port.write({0x06}));
  }
  EXPECT_NE(why_250.find("COM250"), std::string::npos) << why_250;
}

}  // namespace
}  // namespace velka
