// Registration of the library, its class factory, and activation by programmatic identifier
// with the errors a host sees when something is missing.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "automation/identity.h"
#include "tests/automation/automation_fixture.h"

namespace velka::testing {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class Registration : public ::testing::Test {
 protected:
  HostHome home;
  fs::path classes() const { return fs::path(home.dataHome()) / "TMV SPA" / "classes"; }
  fs::path classFile() const { return classes() / (GuidToText(identity::kClassId) + ".class"); }
  fs::path progIdFile() const { return classes() / "TMVVelka.TmvEcrVelka.progid"; }
  fs::path typeLibFile() const {
    return classes() / (GuidToText(identity::kLibraryId) + ".typelib");
  }
};

TEST_F(Registration, RegisterWritesClassProgIdAndTypeLibrary) {
  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  const std::string library = fs::canonical(ControlLibraryPath()).string();
  const std::string clsid = GuidToText(identity::kClassId);

  const std::string prog = Slurp(progIdFile());
  EXPECT_NE(prog.find("CLSID=" + clsid + "\n"), std::string::npos) << prog;
  const std::string cls = Slurp(classFile());
  EXPECT_NE(cls.find("ProgID=TMVVelka.TmvEcrVelka\n"), std::string::npos) << cls;
  EXPECT_NE(cls.find("Library=" + library + "\n"), std::string::npos) << cls;
  const std::string lib = Slurp(typeLibFile());
  EXPECT_NE(lib.find("Name=TMVVelka\n"), std::string::npos) << lib;
  EXPECT_NE(lib.find("Version=1.0\n"), std::string::npos) << lib;
  EXPECT_NE(lib.find("HelpString=TMV - VELKA\n"), std::string::npos) << lib;

  // Registering again replaces the files; nothing else is left in the folder.
  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  EXPECT_EQ(std::distance(fs::directory_iterator(classes()), fs::directory_iterator()), 3);

  ASSERT_EQ(UnregisterControlLibrary(), hresult::Ok);
  EXPECT_FALSE(fs::exists(progIdFile()));
  EXPECT_FALSE(fs::exists(classFile()));
  EXPECT_FALSE(fs::exists(typeLibFile()));
  EXPECT_EQ(UnregisterControlLibrary(), hresult::Ok);  // nothing left to remove
}

TEST_F(Registration, DataHomeDefaultsToTheUsersLocalShare) {
  ::unsetenv("XDG_DATA_HOME");
  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  EXPECT_TRUE(fs::exists(fs::path(home.root()) / ".local/share/TMV SPA/classes" /
                         "TMVVelka.TmvEcrVelka.progid"));
}

TEST_F(Registration, ActivationErrorsNameTheCause) {
  CreatedObject created = CreateObject("TMVVelka.TmvEcrVelka");
  EXPECT_FALSE(created);
  EXPECT_EQ(created.status, hresult::ClassNotRegistered);
  EXPECT_NE(created.error.find("not registered"), std::string::npos) << created.error;

  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  // The registration names a library that is not there any more.
  std::string cls = Slurp(classFile());
  const std::string library = fs::canonical(ControlLibraryPath()).string();
  cls.replace(cls.find(library), library.size(), "/nonexistent/libTMVVelka.so");
  std::ofstream(classFile(), std::ios::trunc) << cls;
  created = CreateObject("TMVVelka.TmvEcrVelka");
  EXPECT_EQ(created.status, hresult::ModuleNotFound);
  EXPECT_NE(created.error.find("/nonexistent/libTMVVelka.so"), std::string::npos) << created.error;

  // A damaged class identifier, and a name that cannot be one.
  std::ofstream(progIdFile(), std::ios::trunc) << "[ProgID]\nCLSID={nonsense}\n";
  EXPECT_EQ(CreateObject("TMVVelka.TmvEcrVelka").status, hresult::ClassNotRegistered);
  EXPECT_EQ(CreateObject("../../etc/passwd").status, hresult::ClassNotRegistered);
  EXPECT_EQ(CreateObject("").status, hresult::ClassNotRegistered);
}

TEST_F(Registration, MachineRegistrationServesEveryUserAfterTheirOwn) {
  // What a package's installation script does: the registration for the machine, under the
  // first machine-wide data folder.
  const fs::path machine = fs::path(home.systemData()) / "TMV SPA" / "classes";
  ::setenv("XDG_DATA_DIRS", (home.systemData() + ":" + home.at("more-data")).c_str(), 1);
  ::setenv("VELKA_REGISTER_SYSTEM", "1", 1);
  const mode_t umask = ::umask(077);  // an administrator's strict umask
  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  ::umask(umask);
  ::unsetenv("VELKA_REGISTER_SYSTEM");
  EXPECT_TRUE(fs::exists(machine / "TMVVelka.TmvEcrVelka.progid"));
  // Every account may read it.
  for (const fs::path& path : {machine.parent_path(), machine}) {
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_exec, fs::perms::others_exec)
        << path;
  }
  for (const fs::directory_entry& file : fs::directory_iterator(machine)) {
    EXPECT_EQ(file.status().permissions() & fs::perms::others_read, fs::perms::others_read)
        << file.path();
  }
  EXPECT_FALSE(fs::exists(classes()));
  EXPECT_TRUE(CreateObject("TMVVelka.TmvEcrVelka")) << CreateObject("TMVVelka.TmvEcrVelka").error;

  // A user's own registration stands before the machine's, and the two are never mixed.
  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  std::string cls = Slurp(classFile());
  const std::string library = fs::canonical(ControlLibraryPath()).string();
  cls.replace(cls.find(library), library.size(), "/nonexistent/user/libTMVVelka.so");
  std::ofstream(classFile(), std::ios::trunc) << cls;
  CreatedObject created = CreateObject("TMVVelka.TmvEcrVelka");
  EXPECT_EQ(created.status, hresult::ModuleNotFound);
  EXPECT_NE(created.error.find("/nonexistent/user/"), std::string::npos) << created.error;
  fs::remove(classFile());
  created = CreateObject("TMVVelka.TmvEcrVelka");
  EXPECT_EQ(created.status, hresult::ClassNotRegistered);
  EXPECT_NE(created.error.find(classFile().string()), std::string::npos) << created.error;
  ASSERT_EQ(UnregisterControlLibrary(), hresult::Ok);
  EXPECT_TRUE(CreateObject("TMVVelka.TmvEcrVelka"));

  // "0" is no request for the machine; the machine's registration goes as it came.
  ::setenv("VELKA_REGISTER_SYSTEM", "0", 1);
  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  EXPECT_TRUE(fs::exists(progIdFile()));
  ASSERT_EQ(UnregisterControlLibrary(), hresult::Ok);
  ::setenv("VELKA_REGISTER_SYSTEM", "yes", 1);
  ASSERT_EQ(UnregisterControlLibrary(), hresult::Ok);
  ::unsetenv("VELKA_REGISTER_SYSTEM");
  EXPECT_FALSE(fs::exists(machine / "TMVVelka.TmvEcrVelka.progid"));
  created = CreateObject("TMVVelka.TmvEcrVelka");
  EXPECT_EQ(created.status, hresult::ClassNotRegistered);
  // The message names every folder searched.
  EXPECT_NE(created.error.find(classes().string() + ", " + machine.string() + " or " +
                               home.at("more-data") + "/TMV SPA/classes"),
            std::string::npos)
      << created.error;
}

TEST_F(Registration, ClassFactoryAndUnloading) {
  using GetClassObject = HResult (*)(const Guid*, const Guid*, void**);
  auto get = reinterpret_cast<GetClassObject>(ControlLibrarySymbol("DllGetClassObject"));
  ASSERT_NE(get, nullptr);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(&identity::kLibraryId, &identity::kClassFactoryInterfaceId, &object),
            hresult::ClassNotAvailable);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(get(&identity::kClassId, &identity::kDispatchInterfaceId, &object),
            hresult::NoInterface);
  EXPECT_EQ(get(&identity::kClassId, &identity::kClassFactoryInterfaceId, nullptr),
            hresult::Pointer);

  EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::Ok);
  ASSERT_EQ(get(&identity::kClassId, &identity::kClassFactoryInterfaceId, &object), hresult::Ok);
  auto factory = Ref<ClassFactory>::Adopt(static_cast<ClassFactory*>(object));
  EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::False);  // a factory reference

  Dispatch* instance = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, &instance), hresult::Ok);  // no site at all
  auto control = DispatchRef::Adopt(instance);
  factory.reset();
  EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::False);  // an instance
  std::vector<Variant> none;
  Variant code;
  ASSERT_EQ(control->Invoke(PropertyId(20), kInvokePropertyGet, none, &code, nullptr), hresult::Ok);
  EXPECT_EQ(code, Variant::FromLong(101));
  control.reset();
  EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::Ok);
}

TEST_F(Registration, EachActivationIsANewInstance) {
  ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
  // Letter case does not matter, as automation has it.
  CreatedObject first = CreateObject("tmvvelka.tmvecrvelka");
  CreatedObject second = CreateObject("TMVVelka.TmvEcrVelka");
  ASSERT_TRUE(first && second) << first.error << second.error;
  EXPECT_NE(first.object.get(), second.object.get());
  std::vector<Variant> value{Variant::FromBoolean(true)};
  ASSERT_EQ(first.object->Invoke(PropertyId(5), kInvokePropertyPut, value, nullptr, nullptr),
            hresult::Ok);
  std::vector<Variant> none;
  Variant async;
  ASSERT_EQ(second.object->Invoke(PropertyId(5), kInvokePropertyGet, none, &async, nullptr),
            hresult::Ok);
  EXPECT_FALSE(async.booleanValue());
}

}  // namespace
}  // namespace velka::testing
