// The built library as a host meets it: its exported entry points, its
// registration in the registry file beside it, and creation through each
// programmatic identifier.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "syslog/com/client.h"
#include "syslog/com/registry.h"
#include "syslog/isyslog.h"
#include "syslog/os/library.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

fs::path BinDir() {
  // The build's bin/ folder; the environment may name another AppFolder.
  const char* dir = std::getenv("CORVANE_BIN_DIR");
  return dir ? fs::path(dir) : fs::path(OSTREL_BIN_DIR);
}

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = fs::canonical(BinDir() / "libostrel.so");
    registry_ = library_.parent_path() / kRegistryFileName;
    had_registry_ = fs::exists(registry_);
    if (had_registry_) {
      std::ifstream in(registry_, std::ios::binary);
      saved_ << in.rdbuf();
    }
    // Another component's entry, which registration must leave alone.
    ASSERT_TRUE(WriteRegistryKeys(registry_, {{"HKCR\\Other.Thing\\CLSID", "{X}"}}));
  }
  void TearDown() override {
    if (had_registry_) {
      std::ofstream(registry_, std::ios::binary | std::ios::trunc) << saved_.str();
    } else {
      fs::remove(registry_);
    }
  }

  template <typename F>
  F Entry(const char* name) {
    std::string error;
    auto entry = reinterpret_cast<F>(os::LoadLibrarySymbol(library_, name, &error));
    EXPECT_NE(entry, nullptr) << error;
    return entry;
  }

  fs::path library_;
  fs::path registry_;
  bool had_registry_ = false;
  std::stringstream saved_;
};

TEST_F(Library, ExportsOnlyItsEntryPoints) {
  const std::string command = "nm -D --defined-only '" + library_.string() + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name && (type == "T" || type == "D" || type == "B")) {
      exported.insert(name);
    }
  }
  ASSERT_EQ(::pclose(pipe), 0);
  EXPECT_EQ(exported,
            (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                   "DllUnregisterServer", "GetErrorInfo"}));
}

TEST_F(Library, RegistersAndCreatesThroughEveryProgrammaticIdentifier) {
  auto register_server = Entry<Status (*)()>("DllRegisterServer");
  auto unregister_server = Entry<Status (*)()>("DllUnregisterServer");
  auto can_unload = Entry<Status (*)()>("DllCanUnloadNow");
  auto get_class_object = Entry<Status (*)(const Guid&, const Guid&, void**)>("DllGetClassObject");
  ASSERT_TRUE(register_server && unregister_server && can_unload && get_class_object);

  ASSERT_EQ(register_server(), kOk);
  const auto entries = ReadRegistry(registry_);
  ASSERT_TRUE(entries.has_value());
  const std::string clsid_key = "HKCR\\CLSID\\" + GuidToString(kClsidSysLog);
  EXPECT_EQ(RegistryValue(*entries, clsid_key + "\\InprocServer32"), library_.string());
  EXPECT_EQ(RegistryValue(*entries, clsid_key + "\\InprocServer32\\ThreadingModel"), "Apartment");
  EXPECT_EQ(RegistryValue(*entries, clsid_key + "\\MiscStatus\\1"), "132497");
  EXPECT_EQ(RegistryValue(*entries, "HKCR\\Quendor.SysLog\\CurVer"), "Quendor.SysLog.1");
  EXPECT_EQ(RegistryValue(*entries, "HKCR\\Other.Thing\\CLSID"), "{X}");
  ASSERT_EQ(register_server(), kOk);  // registering again changes nothing
  EXPECT_EQ(ReadRegistry(registry_)->size(), entries->size());

  for (const char* prog_id : {kProgIdVersionIndependent, kProgIdVersion1, kProgIdLegacy}) {
    SCOPED_TRACE(prog_id);
    ComPtr<ISysLog> control;
    std::string error;
    ASSERT_EQ(CreateObject(registry_, prog_id, kIidISysLog, control.ReceiveVoid(), &error), kOk)
        << error;
    EXPECT_EQ(can_unload(), kFalse);
    ASSERT_EQ(control->put_RemotePort(6514), kOk);
    int32_t port = 0;
    ASSERT_EQ(control->get_RemotePort(&port), kOk);
    EXPECT_EQ(port, 6514);
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(control->QueryInterface(kIidIDispatch, dispatch.ReceiveVoid()), kOk);
  }
  EXPECT_EQ(can_unload(), kOk);

  ComPtr<IClassFactory> factory;
  EXPECT_EQ(get_class_object(kIidISysLog, kIidIClassFactory, factory.ReceiveVoid()),
            kClassNotAvailable);

  ASSERT_EQ(unregister_server(), kOk);
  const auto after = ReadRegistry(registry_);
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(*after, (RegistryEntries{{"HKCR\\Other.Thing\\CLSID", "{X}"}}));
  ComPtr<ISysLog> control;
  EXPECT_EQ(CreateObject(registry_, kProgIdVersion1, kIidISysLog, control.ReceiveVoid()),
            kClassNotRegistered);
}

TEST_F(Library, ACreatedControlSendsAndReportsItsFailures) {
  static int argc = 1;
  static char name[] = "ostrel_library_test";
  static char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);

  auto register_server = Entry<Status (*)()>("DllRegisterServer");
  ASSERT_TRUE(register_server);
  ASSERT_EQ(register_server(), kOk);
  ComPtr<ISysLog> control;
  ASSERT_EQ(CreateObject(registry_, kProgIdVersion1, kIidISysLog, control.ReceiveVoid()), kOk);

  const Status inactive = control->SendPacket(23, 6, u"x");
  EXPECT_EQ(static_cast<uint32_t>(inactive), 0x800A4E8Eu);
  ErrorInfo info;
  ASSERT_EQ(LastErrorInfo(library_, &info), kOk);
  EXPECT_EQ(info.description, u"The control must be Active for this operation.");
  EXPECT_EQ(info.source, u"Quendor.SysLog.1");

  const int peer = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  ::getsockname(peer, reinterpret_cast<sockaddr*>(&address), &length);

  ASSERT_EQ(control->put_LocalPort(0), kOk);
  ASSERT_EQ(control->put_RemoteHost(u"127.0.0.1"), kOk);
  ASSERT_EQ(control->put_RemotePort(ntohs(address.sin_port)), kOk);
  std::u16string answer;
  ASSERT_EQ(control->Config(u"UseLocalTime=True", &answer), kOk);
  ASSERT_EQ(control->put_Active(kVariantTrue), kOk);
  ASSERT_EQ(control->SendPacket(23, 6, u"App: started"), kOk);
  pollfd waiting{peer, POLLIN, 0};
  ASSERT_EQ(::poll(&waiting, 1, 500), 1);
  char packet[512];
  const ssize_t got = ::recv(peer, packet, sizeof packet, 0);
  ASSERT_GT(got, 0);
  const std::string text(packet, static_cast<size_t>(got));
  EXPECT_TRUE(text.starts_with("<190>")) << text;
  EXPECT_TRUE(text.ends_with(" App: started")) << text;
  EXPECT_EQ(control->put_Active(kVariantFalse), kOk);
  ::close(peer);
  control.Reset();
  auto unregister_server = Entry<Status (*)()>("DllUnregisterServer");
  ASSERT_TRUE(unregister_server);
  EXPECT_EQ(unregister_server(), kOk);
}

}  // namespace
}  // namespace ostrel
