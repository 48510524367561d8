// The control as its hosts see it: properties, the active-state rules,
// statuses and error information, settings, late binding, events and
// persistence.

#include "syslog/syslog_control.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "syslog/error_codes.h"
#include "syslog/test_support.h"

namespace ostrel {
namespace {

using testing::Advise;
using testing::ConfigOf;
using testing::LastDescription;
using testing::N;
using testing::NewControl;
using testing::PumpUntil;
using testing::RecordingSink;
using testing::UdpPeer;
using testing::W;

std::string MachineHostName() {
  char name[100] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

int32_t ErrorNumberOf(Status status) { return static_cast<int32_t>(status & 0xFFFF); }

TEST(SysLogControl, NewControlHasItsDefaults) {
  auto control = NewControl();
  VariantBool active = kVariantTrue;
  int32_t local_port = 0, remote_port = 0;
  std::u16string remote_host, local_host;
  ASSERT_EQ(control->get_Active(&active), kOk);
  ASSERT_EQ(control->get_LocalPort(&local_port), kOk);
  ASSERT_EQ(control->get_RemotePort(&remote_port), kOk);
  ASSERT_EQ(control->get_RemoteHost(&remote_host), kOk);
  ASSERT_EQ(control->get_LocalHost(&local_host), kOk);
  EXPECT_EQ(active, kVariantFalse);
  EXPECT_EQ(local_port, 514);
  EXPECT_EQ(remote_port, 514);
  EXPECT_EQ(N(remote_host), "255.255.255.255");
  EXPECT_EQ(N(local_host), MachineHostName());
  EXPECT_EQ(ConfigOf(control.get(), "UseLocalTime"), "False");
  EXPECT_EQ(ConfigOf(control.get(), "UseHostname"), "True");
  EXPECT_EQ(ConfigOf(control.get(), "MaxPacketSize"), "8192");
}

// An active control on a loopback port of the system's choosing, sending to
// a peer; the rules below are checked against it.
class ActiveControl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(control_->put_LocalHost(u"127.0.0.1"), kOk);
    ASSERT_EQ(control_->put_LocalPort(0), kOk);
    ASSERT_EQ(control_->put_RemoteHost(u"127.0.0.1"), kOk);
    ASSERT_EQ(control_->put_RemotePort(peer_.port()), kOk);
  }

  void Activate() { ASSERT_EQ(control_->put_Active(kVariantTrue), kOk) << LastDescription(); }

  ComPtr<ISysLog> control_ = NewControl();
  UdpPeer peer_;
};

TEST_F(ActiveControl, RefusesWritesThatWouldDisturbTheSocket) {
  Activate();
  const std::string handle = ConfigOf(control_.get(), "SocketHandle");
  struct Case {
    const char* what;
    std::function<Status()> call;
    int code;
    const char* description;
  };
  const Case cases[] = {
      {"Active again", [&] { return control_->put_Active(kVariantTrue); }, 104,
       "UDPPort is already Active."},
      {"LocalPort", [&] { return control_->put_LocalPort(600); }, 106,
       "You cannot change the LocalPort while the control is Active."},
      {"LocalHost", [&] { return control_->put_LocalHost(u"127.0.0.2"); }, 107,
       "Cannot change LocalHost while the control is Active."},
      {"UseConnection",
       [&] {
         std::u16string r;
         return control_->Config(u"UseConnection=True", &r);
       },
       117, "Cannot change UseConnection option while the control is Active."},
      {"MaxPacketSize",
       [&] {
         std::u16string r;
         return control_->Config(u"MaxPacketSize=100", &r);
       },
       112, "Cannot change the MaxPacketSize while control is Active."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Status status = c.call();
    EXPECT_EQ(status, StatusForCode(c.code));
    ErrorInfo info;
    ASSERT_EQ(TakeThreadErrorInfo(&info), kOk);
    EXPECT_EQ(N(info.description), c.description);
    EXPECT_EQ(N(info.source), "Quendor.SysLog.1");
  }
  // The first socket stayed open throughout, with its settings.
  EXPECT_EQ(ConfigOf(control_.get(), "SocketHandle"), handle);
  EXPECT_EQ(ConfigOf(control_.get(), "UseConnection"), "False");
  EXPECT_EQ(ConfigOf(control_.get(), "MaxPacketSize"), "8192");
  int32_t port = 0;
  control_->get_LocalPort(&port);
  EXPECT_NE(port, 600);

  EXPECT_EQ(control_->put_Active(kVariantFalse), kOk);
  EXPECT_EQ(control_->put_Active(kVariantFalse), kOk);
  EXPECT_EQ(ConfigOf(control_.get(), "SocketHandle"), "-1");
}

TEST_F(ActiveControl, RemoteEndpointMayMoveWhileActiveWithoutConnection) {
  Activate();
  ASSERT_EQ(control_->SendPacket(23, 6, u"first"), kOk);
  ASSERT_TRUE(peer_.Receive().has_value());

  UdpPeer other;
  EXPECT_EQ(control_->put_RemoteHost(u"localhost"), kOk);
  EXPECT_EQ(control_->put_RemotePort(other.port()), kOk);
  std::u16string host;
  control_->get_RemoteHost(&host);
  EXPECT_EQ(N(host), "127.0.0.1");
  ASSERT_EQ(control_->SendPacket(23, 6, u"second"), kOk);
  auto got = other.Receive();
  ASSERT_TRUE(got.has_value());
  EXPECT_TRUE(got->ends_with(" second"));
  EXPECT_FALSE(peer_.Receive(50).has_value());
}

TEST_F(ActiveControl, RemoteEndpointIsFrozenWithConnection) {
  ASSERT_EQ(ConfigOf(control_.get(), "UseConnection=yes"), "");
  Activate();
  EXPECT_EQ(control_->put_RemoteHost(u"127.0.0.1"), StatusForCode(114));
  EXPECT_EQ(LastDescription(),
            "Cannot change RemoteHost when UseConnection is set and the control is Active.");
  EXPECT_EQ(control_->put_RemotePort(9), StatusForCode(115));
  EXPECT_EQ(LastDescription(),
            "Cannot change RemotePort when UseConnection is set and the control is Active.");
  // The connected socket still reaches the peer.
  ASSERT_EQ(control_->SendPacket(23, 3, u"connected"), kOk);
  ASSERT_TRUE(peer_.Receive().has_value());
}

TEST_F(ActiveControl, SendPacketNeedsAnActiveControlAndAPort) {
  const Status inactive = control_->SendPacket(23, 6, u"x");
  EXPECT_EQ(static_cast<uint32_t>(inactive), 0x800A4E8Eu);
  EXPECT_EQ(ErrorNumberOf(inactive), 20110);
  ErrorInfo info;
  ASSERT_EQ(TakeThreadErrorInfo(&info), kOk);
  EXPECT_EQ(N(info.description), "The control must be Active for this operation.");
  EXPECT_EQ(info.help_context, 46203u);
  EXPECT_FALSE(info.help_file.empty());

  Activate();
  EXPECT_EQ(control_->put_RemotePort(0), kOk);
  const Status no_port = control_->SendPacket(23, 6, u"x");
  EXPECT_EQ(ErrorNumberOf(no_port), 20117);
  EXPECT_EQ(LastDescription(),
            "RemotePort can't be zero. Please specify a valid service port number.");
  VariantBool active = 0;
  control_->get_Active(&active);
  EXPECT_EQ(active, kVariantTrue);

  control_->put_Active(kVariantFalse);
  ASSERT_EQ(ConfigOf(control_.get(), "UseConnection=1"), "");
  EXPECT_EQ(control_->put_Active(kVariantTrue), StatusForCode(116));
  EXPECT_EQ(LastDescription(),
            "RemotePort can't be zero when UseConnection is set. Please "
            "specify a valid service port number.");
}

TEST_F(ActiveControl, LocalPortZeroReadsTheChosenPortWhileActive) {
  int32_t port = -1;
  control_->get_LocalPort(&port);
  EXPECT_EQ(port, 0);
  Activate();
  control_->get_LocalPort(&port);
  EXPECT_GT(port, 0);
  std::u16string local;
  control_->get_LocalHost(&local);
  EXPECT_EQ(N(local), "127.0.0.1");
  ASSERT_EQ(control_->SendPacket(1, 1, u"from"), kOk);
  uint16_t source_port = 0;
  ASSERT_TRUE(peer_.Receive(500, &source_port).has_value());
  EXPECT_EQ(source_port, port);
  control_->put_Active(kVariantFalse);
  control_->get_LocalPort(&port);
  EXPECT_EQ(port, 0);
}

TEST_F(ActiveControl, PortInUseFailsUnlessShared) {
  UdpPeer holder(/*ipv6=*/false, /*reuse=*/true);
  ASSERT_EQ(control_->put_LocalPort(holder.port()), kOk);
  const Status status = control_->put_Active(kVariantTrue);
  EXPECT_EQ(status, StatusForCode(10048));
  EXPECT_EQ(ErrorNumberOf(status), 25049);
  EXPECT_EQ(LastDescription(), "[10048] Address already in use");
  VariantBool active = kVariantTrue;
  control_->get_Active(&active);
  EXPECT_EQ(active, kVariantFalse);
  EXPECT_EQ(ConfigOf(control_.get(), "SocketHandle"), "-1");

  ASSERT_EQ(ConfigOf(control_.get(), "ShareLocalPort=True"), "");
  Activate();
  int32_t port = 0;
  control_->get_LocalPort(&port);
  EXPECT_EQ(port, holder.port());
}

TEST(SysLogControl, UnresolvableHostFailsWithTheResolverCode) {
  auto control = NewControl();
  const Status status = control->put_RemoteHost(u"no-such-host.invalid");
  EXPECT_EQ(ErrorNumberOf(status), 26002);
  EXPECT_EQ(status, StatusForCode(11001));
  ErrorInfo info;
  ASSERT_EQ(TakeThreadErrorInfo(&info), kOk);
  EXPECT_EQ(N(info.description), "[11001] Host not found");
  EXPECT_EQ(info.help_context, 26204u);
  std::u16string host = u"unchanged";
  control->get_RemoteHost(&host);
  EXPECT_EQ(host, u"");  // a failed resolution leaves no remote address
}

TEST(SysLogControl, EmptyRemoteHostFailsTheSendInsteadOfReachingThisHost) {
  auto control = NewControl();
  ASSERT_EQ(control->put_RemoteHost(u""), kOk);
  std::u16string host = u"x";
  control->get_RemoteHost(&host);
  EXPECT_EQ(host, u"");
  control->put_LocalHost(u"127.0.0.1");
  control->put_LocalPort(0);
  ASSERT_EQ(control->put_Active(kVariantTrue), kOk);
  EXPECT_EQ(control->SendPacket(23, 6, u"x"), StatusForCode(10049));
  EXPECT_EQ(LastDescription(), "[10049] Can't assign requested address");
}

TEST(SysLogControl, EmptyRemoteHostFailsTheActivationWithUseConnection) {
  auto control = NewControl();
  ASSERT_EQ(control->put_RemoteHost(u""), kOk);
  control->put_LocalHost(u"127.0.0.1");
  control->put_LocalPort(0);
  ASSERT_EQ(ConfigOf(control.get(), "UseConnection=True"), "");
  EXPECT_EQ(control->put_Active(kVariantTrue), StatusForCode(10049));
  EXPECT_EQ(LastDescription(), "[10049] Can't assign requested address");
  int16_t active = kVariantTrue;
  control->get_Active(&active);
  EXPECT_EQ(active, kVariantFalse);
}

TEST(SysLogControl, ConfigSettingsReadAndWriteByName) {
  auto control = NewControl();
  struct Case {
    const char* argument;
    const char* answer;  // of the query that follows a set, or of the query itself
    const char* query;
  };
  const Case cases[] = {
      {"usehostname=FALSE", "False", "UseHostname"},
      {"UseHostname=true", "True", "USEHOSTNAME"},
      {"UseLocalTime=Yes", "True", "UseLocalTime"},
      {"UseLocalTime=on", "False", "UseLocalTime"},
      {"UseLocalTime=1", "True", "uselocaltime"},
      {"UseLocalTime=", "False", "UseLocalTime"},
      {"UseLocalTime[7]=TRUE", "True", "UseLocalTime"},
      {"MaxPacketSize=70000", "65536", "MaxPacketSize"},
      {"MaxPacketSize=-5", "65536", "MaxPacketSize"},
      {"MaxPacketSize=1024", "1024", "MaxPacketSize"},
      {"QOSTrafficType=voice", "4", "QOSTrafficType"},
      {"QOSTrafficType=AUDIOVIDEO", "3", "QOSTrafficType"},
      {"QOSTrafficType=7", "7", "QOSTrafficType"},
      {"QOSTrafficType=BestEffort", "0", "QOSTrafficType"},
      {"TTL=33", "33", "TimeToLive"},
      {"TimeToLive=12", "12", "TTL"},
      {"KerberosSPN=\" two words \"", " two words ", "KerberosSPN"},
      {"RecordToFile=x.log", "x.log", "RecordToFile"},
      {"SelectWaitMillis=5", "5", "SelectWaitMillis"},
      {"TimeoutInMilliseconds=True", "1", "TimeoutInMilliseconds"},
      {"AbsoluteTimeout=yes", "True", "AbsoluteTimeout"},
      {"InBufferSize=32768", "32768", "InBufferSize"},
      {"OutBufferSize=0", "0", "OutBufferSize"},
      {"QOSFlags=16", "16", "QOSFlags"},
      {"CodePage=1252", "1252", "CodePage"},
      {"CodePage=0", "0", "CodePage"},
      {"WinsockStatus=5", "0", "WinsockStatus"},
      {"WinsockVersion=1.1", "2.2", "WinsockVersion"},
      {"CharsetMode=257", "1", "CharsetMode"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    Status status = kFail;
    EXPECT_EQ(ConfigOf(control.get(), c.argument, &status), "");
    EXPECT_EQ(status, kOk) << LastDescription();
    EXPECT_EQ(ConfigOf(control.get(), c.query, &status), c.answer);
    EXPECT_EQ(status, kOk);
  }
  EXPECT_EQ(ConfigOf(control.get(), "SocketHandle"), "-1");
  EXPECT_EQ(ConfigOf(control.get(), "CharsetMode=0"), "");
}

TEST(SysLogControl, ConfigRefusesWhatNoLayerKnows) {
  auto control = NewControl();
  for (const char* argument :
       {"NoSuchSetting", "UseLocalTime =True", "SocketHandle=5", "", "UseLocalTime]=True"}) {
    SCOPED_TRACE(argument);
    std::u16string result = u"stale";
    const Status status = control->Config(W(argument), &result);
    EXPECT_EQ(ErrorNumberOf(status), 20000);
    EXPECT_EQ(result, u"");
    ErrorInfo info;
    ASSERT_EQ(TakeThreadErrorInfo(&info), kOk);
    EXPECT_EQ(N(info.description), "Unknown config setting.");
    EXPECT_EQ(info.help_context, 46201u);
  }
  EXPECT_EQ(ConfigOf(control.get(), "UseLocalTime"), "False");
}

TEST(SysLogControl, ConfigRefusesACodePageWithoutConverter) {
  // No converter, or one that does not keep ASCII (UTF-16 would garble every
  // later setting, the Config call that could undo it included).
  for (const char* code_page : {"CodePage=12345", "CodePage=1200", "CodePage=1201"}) {
    SCOPED_TRACE(code_page);
    auto control = NewControl();
    Status status = kOk;
    ConfigOf(control.get(), code_page, &status);
    EXPECT_EQ(status, StatusForCode(10022));
    EXPECT_EQ(LastDescription(), "Unsupported code page.");
    EXPECT_EQ(ConfigOf(control.get(), "CodePage"), "0");
  }
}

TEST(SysLogControl, PacketInPacketBIsARuntimeReadOnlyProperty) {
  auto control = NewControl();
  Variant value = Variant::Int32(1);
  EXPECT_EQ(control->get_PacketInPacketB(&value), kOk);
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_EQ(static_cast<uint32_t>(control->put_PacketInPacketB(Variant::Int32(1))), 0x800A017Fu);
  EXPECT_EQ(LastDescription(), "Property is read-only.");

  class DesignSite final : public IControlSite {
   public:
    Status QueryInterface(const Guid&, void**) override { return kNoInterface; }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    Status GetAmbientUserMode(VariantBool* user_mode) override {
      *user_mode = kVariantFalse;
      return kOk;
    }
  } site;
  ComPtr<IControlHosting> hosting;
  ASSERT_EQ(control->QueryInterface(kIidIControlHosting, hosting.ReceiveVoid()), kOk);
  hosting->SetClientSite(&site);
  EXPECT_EQ(static_cast<uint32_t>(control->get_PacketInPacketB(&value)), 0x800A018Au);
  EXPECT_EQ(LastDescription(), "Property is runtime only (no supported in design time).");
  EXPECT_EQ(static_cast<uint32_t>(control->put_PacketInPacketB(Variant())), 0x800A018Au);
  hosting->SetClientSite(nullptr);
}

TEST(SysLogControl, LateBoundCallsReachTheSameMembers) {
  auto control = NewControl();
  DispId id = 0;
  ASSERT_EQ(control->GetIDOfName(u"remoteport", &id), kOk);
  EXPECT_EQ(id, dispid::kRemotePort);
  EXPECT_EQ(control->GetIDOfName(u"Nothing", &id), kUnknownName);

  std::vector<Variant> args = {Variant::Int32(6514)};
  ASSERT_EQ(control->Invoke(dispid::kRemotePort, InvokeKind::kPropertyPut, args, nullptr, nullptr),
            kOk);
  int32_t port = 0;
  control->get_RemotePort(&port);
  EXPECT_EQ(port, 6514);

  args = {Variant::String(u"UseLocalTime=True")};
  Variant result;
  ASSERT_EQ(control->Invoke(dispid::kConfig, InvokeKind::kMethod, args, &result, nullptr), kOk);
  args = {Variant::String(u"UseLocalTime")};
  ASSERT_EQ(control->Invoke(dispid::kConfig, InvokeKind::kMethod, args, &result, nullptr), kOk);
  EXPECT_EQ(result, Variant::String(u"True"));

  args.clear();
  ASSERT_EQ(control->Invoke(dispid::kActive, InvokeKind::kPropertyGet, args, &result, nullptr),
            kOk);
  EXPECT_EQ(result, Variant::Bool(false));

  // A member's failure arrives as an exception carrying its status.
  args = {Variant::Int16(23), Variant::Int16(6), Variant::String(u"x")};
  ExcepInfo excep;
  EXPECT_EQ(control->Invoke(dispid::kSendPacket, InvokeKind::kMethod, args, nullptr, &excep),
            kException);
  EXPECT_EQ(static_cast<uint32_t>(excep.status), 0x800A4E8Eu);
  EXPECT_EQ(N(excep.description), "The control must be Active for this operation.");
  EXPECT_EQ(N(excep.source), "Quendor.SysLog.1");

  args = {Variant::String(u"wrong type")};
  EXPECT_EQ(control->Invoke(dispid::kLocalPort, InvokeKind::kPropertyPut, args, nullptr, nullptr),
            kTypeMismatch);
  args.clear();
  EXPECT_EQ(control->Invoke(dispid::kSendPacket, InvokeKind::kMethod, args, nullptr, nullptr),
            kBadParamCount);
  EXPECT_EQ(control->Invoke(999, InvokeKind::kMethod, args, nullptr, nullptr), kMemberNotFound);
}

TEST(SysLogControl, PersistsExactlyThreeProperties) {
  auto control = NewControl();
  ComPtr<IControlHosting> hosting;
  ASSERT_EQ(control->QueryInterface(kIidIControlHosting, hosting.ReceiveVoid()), kOk);
  PropertyBag bag = {{u"LocalPort", Variant::Int32(1514)},
                     {u"RemoteHost", Variant::String(u"127.0.0.9")},
                     {u"RemotePort", Variant::Int32(2514)}};
  ASSERT_EQ(hosting->Load(bag), kOk);
  PropertyBag saved;
  ASSERT_EQ(hosting->Save(&saved), kOk);
  EXPECT_EQ(saved, bag);

  PropertyBag bad = {{u"RemoteHost", Variant::String(u"no-such-host.invalid")}};
  EXPECT_EQ(hosting->Load(bad), StatusForCode(11001));
}

TEST(SysLogControl, EverySinkHearsEachEventInConnectionOrder) {
  RecordingSink first, second, third;
  auto control = NewControl();
  control->put_LocalHost(u"127.0.0.1");
  control->put_LocalPort(0);
  ASSERT_EQ(control->put_Active(kVariantTrue), kOk);
  int32_t port = 0;
  control->get_LocalPort(&port);

  std::vector<int> order;
  first.on_packet = [&](const PacketInArgs&) { order.push_back(1); };
  second.on_packet = [&](const PacketInArgs&) { order.push_back(2); };
  third.on_packet = [&](const PacketInArgs&) { order.push_back(3); };
  Advise(control.get(), first);
  const uint32_t second_cookie = Advise(control.get(), second);
  Advise(control.get(), third);

  UdpPeer peer;
  peer.SendTo(static_cast<uint16_t>(port), "one");
  ASSERT_TRUE(PumpUntil(control.get(), [&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

  testing::Unadvise(control.get(), second_cookie);
  peer.SendTo(static_cast<uint16_t>(port), "two");
  ASSERT_TRUE(PumpUntil(control.get(), [&] { return order.size() == 5; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 1, 3}));
  EXPECT_EQ(N(third.packets.back().packet), "two");
  EXPECT_EQ(N(third.packets.back().source_address), "127.0.0.1");
  control->put_Active(kVariantFalse);
}

}  // namespace
}  // namespace ostrel
