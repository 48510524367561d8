// The UDP transport under the control: receiving through the notification
// window, closing with its drain and the close-pending guard, receive
// errors, socket options, IPv6, QOS, and send failures a real socket cannot
// produce on demand.

#include <gtest/gtest.h>
#include <sys/socket.h>

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

// Real sockets, with every option set and send failure under the test's eye.
class ObservedSockets final : public os::SocketApi {
 public:
  std::vector<std::pair<os::SocketOption, int>> options;
  int fail_sends_with = 0;

  int SetOption(os::SocketHandle handle, os::SocketOption option, int value) override {
    options.emplace_back(option, value);
    return SocketApi::SetOption(handle, option, value);
  }
  os::IoResult SendTo(os::SocketHandle handle, const uint8_t* data, size_t length,
                      const os::SocketAddress& to) override {
    if (fail_sends_with != 0) return {fail_sends_with, 0};
    return SocketApi::SendTo(handle, data, length, to);
  }
  bool WasSet(os::SocketOption option) const {
    for (const auto& [set, value] : options) {
      if (set == option) return true;
    }
    return false;
  }
};

class Transport : public ::testing::Test {
 protected:
  void SetUp() override {
    control_->put_LocalHost(u"127.0.0.1");
    control_->put_LocalPort(0);
    control_->put_RemoteHost(u"127.0.0.1");
    control_->put_RemotePort(peer_.port());
    Advise(control_.get(), sink_);
  }
  void Activate() {
    ASSERT_EQ(control_->put_Active(kVariantTrue), kOk) << LastDescription();
    int32_t port = 0;
    control_->get_LocalPort(&port);
    port_ = static_cast<uint16_t>(port);
  }
  bool Active() {
    VariantBool active = 0;
    control_->get_Active(&active);
    return active != 0;
  }

  // The sink outlives the control, which holds a reference to it.
  RecordingSink sink_;
  ObservedSockets sockets_;
  ComPtr<ISysLog> control_ = NewControl(sockets_);
  UdpPeer peer_;
  uint16_t port_ = 0;
};

TEST_F(Transport, DatagramsFireOnlyWhileTheThreadProcessesEvents) {
  Activate();
  peer_.SendTo(port_, std::string("raw\0bytes", 9));
  peer_.SendTo(port_, "second");
  ::usleep(20000);
  EXPECT_TRUE(sink_.packets.empty());  // nothing fires without event processing

  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return sink_.packets.size() == 2; }));
  const PacketInArgs& first = sink_.packets[0];
  EXPECT_EQ(first.packet, std::u16string(u"raw\0bytes", 9));  // exact length, zero kept
  EXPECT_EQ(N(first.source_address), "127.0.0.1");
  EXPECT_EQ(first.source_port, peer_.port());
  EXPECT_EQ(N(sink_.packets[1].packet), "second");
}

TEST_F(Transport, EventTextsFollowTheCodePage) {
  ASSERT_EQ(ConfigOf(control_.get(), "CodePage=1252"), "");
  Activate();
  peer_.SendTo(port_, "caf\xe9 \x80");
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return !sink_.packets.empty(); }));
  EXPECT_EQ(sink_.packets[0].packet, u"caf\u00e9 \u20ac");
  EXPECT_EQ(sink_.packets[0].message, u"caf\u00e9 \u20ac");
}

TEST_F(Transport, PacketInPacketBHoldsTheDatagramDuringItsEvent) {
  Activate();
  std::vector<Variant> seen;
  sink_.on_packet = [&](const PacketInArgs&) {
    Variant bytes;
    EXPECT_EQ(control_->get_PacketInPacketB(&bytes), kOk);
    seen.push_back(bytes);
  };
  peer_.SendTo(port_, std::string("\x01\x00\xff", 3));
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return !seen.empty(); }));
  EXPECT_EQ(seen[0], Variant::Bytes({0x01, 0x00, 0xff}));
  Variant after = Variant::Int32(5);
  control_->get_PacketInPacketB(&after);
  EXPECT_TRUE(after.IsEmpty());
}

TEST_F(Transport, ClosingDrainsWaitingDatagrams) {
  Activate();
  for (const char* text : {"a", "b", "c"}) peer_.SendTo(port_, text);
  ::usleep(20000);
  ASSERT_EQ(control_->put_Active(kVariantFalse), kOk);
  ASSERT_EQ(sink_.packets.size(), 3u);
  EXPECT_EQ(N(sink_.packets[2].packet), "c");
  EXPECT_FALSE(Active());
}

TEST_F(Transport, CloseFromInsideAHandlerWaitsForTheHandlerToReturn) {
  Activate();
  for (const char* text : {"one", "two", "three"}) peer_.SendTo(port_, text);
  ::usleep(20000);
  bool active_after_close = false;
  sink_.on_packet = [&](const PacketInArgs& packet) {
    if (N(packet.packet) != "one") return;
    EXPECT_EQ(control_->put_Active(kVariantFalse), kOk);
    active_after_close = Active();
    // The deferred close is not undone by asking for Active again.
    EXPECT_EQ(control_->put_Active(kVariantTrue), StatusForCode(104));
  };
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return !Active(); }));
  EXPECT_TRUE(active_after_close);
  // The close's drain still fired the datagrams that were waiting.
  ASSERT_EQ(sink_.packets.size(), 3u);
  EXPECT_EQ(N(sink_.packets[1].packet), "two");
  EXPECT_EQ(N(sink_.packets[2].packet), "three");
  // And the control can be used again afterwards.
  Activate();
  EXPECT_TRUE(Active());
}

TEST_F(Transport, AHandlerMayReleaseTheControl) {
  Activate();
  peer_.SendTo(port_, "bye");
  ISysLog* raw = control_.get();
  sink_.on_packet = [&](const PacketInArgs&) { control_.Reset(); };
  for (int i = 0; i < 25 && control_; ++i) raw->DoEvents();
  EXPECT_FALSE(control_);
  EXPECT_EQ(sink_.packets.size(), 1u);
}

TEST_F(Transport, OversizedDatagramFiresErrorAndNoPacket) {
  Activate();
  peer_.SendTo(port_, std::string(9000, 'x'));
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return !sink_.errors.empty(); }));
  EXPECT_EQ(sink_.errors[0].code, 10040);
  EXPECT_EQ(N(sink_.errors[0].description), "Winsock error in recv()");
  EXPECT_TRUE(sink_.packets.empty());
}

TEST_F(Transport, ClosedPortOnAConnectedSocketFiresDestinationUnreachable) {
  int32_t closed_port;
  {
    UdpPeer gone;
    closed_port = gone.port();
  }
  control_->put_RemotePort(closed_port);
  ASSERT_EQ(ConfigOf(control_.get(), "UseConnection=True"), "");
  Activate();
  ASSERT_EQ(control_->SendPacket(23, 3, u"nobody listens"), kOk);
  ASSERT_TRUE(PumpUntil(control_.get(), [&] { return !sink_.errors.empty(); }));
  EXPECT_EQ(sink_.errors[0].code, 10054);
  EXPECT_EQ(N(sink_.errors[0].description), "Destination unreachable (service unavailable?).");
  EXPECT_TRUE(Active());
}

TEST_F(Transport, ActivationAppliesSocketOptions) {
  Activate();
  // IPv4 sockets may always broadcast; the system's buffer sizing stays.
  const int handle = std::stoi(ConfigOf(control_.get(), "SocketHandle"));
  int broadcast = 0;
  socklen_t length = sizeof broadcast;
  ASSERT_EQ(getsockopt(handle, SOL_SOCKET, SO_BROADCAST, &broadcast, &length), 0);
  EXPECT_EQ(broadcast, 1);
  EXPECT_FALSE(sockets_.WasSet(os::SocketOption::kReceiveBuffer));
  EXPECT_FALSE(sockets_.WasSet(os::SocketOption::kSendBuffer));
  EXPECT_FALSE(sockets_.WasSet(os::SocketOption::kTimeToLive));
  control_->put_Active(kVariantFalse);

  sockets_.options.clear();
  ConfigOf(control_.get(), "InBufferSize=32768");
  ConfigOf(control_.get(), "TTL=7");
  ConfigOf(control_.get(), "QOSFlags=16");
  Activate();
  EXPECT_TRUE(sockets_.WasSet(os::SocketOption::kReceiveBuffer));
  EXPECT_FALSE(sockets_.WasSet(os::SocketOption::kSendBuffer));
  int ttl = 0;
  length = sizeof ttl;
  const int active_handle = std::stoi(ConfigOf(control_.get(), "SocketHandle"));
  getsockopt(active_handle, IPPROTO_IP, IP_TTL, &ttl, &length);
  EXPECT_EQ(ttl, 7);
  EXPECT_EQ(ConfigOf(control_.get(), "QOSFlags"), "16");

  // Applied at once while active.
  ASSERT_EQ(ConfigOf(control_.get(), "TimeToLive=9"), "");
  getsockopt(active_handle, IPPROTO_IP, IP_TTL, &ttl, &length);
  EXPECT_EQ(ttl, 9);
}

TEST_F(Transport, AFailedSendLeavesTheControlActive) {
  Activate();
  sockets_.fail_sends_with = 10055;
  const Status status = control_->SendPacket(23, 6, u"lost");
  EXPECT_EQ(status, StatusForCode(10055));
  EXPECT_EQ(LastDescription(), "[10055] No buffer space available");
  EXPECT_TRUE(Active());
  sockets_.fail_sends_with = 0;
  ASSERT_EQ(control_->SendPacket(23, 6, u"found"), kOk);
  EXPECT_TRUE(peer_.Receive().has_value());
}

TEST_F(Transport, QosTrafficTypeFailsWithoutTheQosLibrary) {
  ASSERT_EQ(ConfigOf(control_.get(), "UseConnection=True"), "");
  ASSERT_EQ(ConfigOf(control_.get(), "QOSTrafficType=Voice"), "");
  EXPECT_EQ(control_->put_Active(kVariantTrue), StatusForCode(307));
  EXPECT_EQ(LastDescription(), "Could not initialize the QOS/QWave subsystem (error 0x7e).");
  EXPECT_FALSE(Active());
  // Without a connection no flow is asked for.
  ConfigOf(control_.get(), "UseConnection=False");
  Activate();
}

TEST(TransportIpv6, SendsToAndReceivesFromLoopback) {
  UdpPeer peer(/*ipv6=*/true);
  RecordingSink sink;
  auto control = NewControl();
  Advise(control.get(), sink);
  ASSERT_EQ(ConfigOf(control.get(), "UseIPv6=True"), "");
  ASSERT_EQ(control->put_LocalHost(u"::1"), kOk);
  control->put_LocalPort(0);
  ASSERT_EQ(control->put_RemoteHost(u"::1"), kOk);
  control->put_RemotePort(peer.port());
  std::u16string host;
  control->get_RemoteHost(&host);
  EXPECT_EQ(N(host), "::1");
  ASSERT_EQ(control->put_Active(kVariantTrue), kOk) << LastDescription();
  ASSERT_EQ(control->SendPacket(23, 6, u"over six"), kOk) << LastDescription();
  auto got = peer.Receive();
  ASSERT_TRUE(got.has_value());
  EXPECT_TRUE(got->starts_with("<190>"));
  EXPECT_TRUE(got->ends_with(" over six"));

  int32_t port = 0;
  control->get_LocalPort(&port);
  std::u16string local;
  control->get_LocalHost(&local);
  EXPECT_EQ(N(local), "::1");
  peer.SendTo(static_cast<uint16_t>(port), "back");
  ASSERT_TRUE(PumpUntil(control.get(), [&] { return !sink.packets.empty(); }));
  EXPECT_EQ(N(sink.packets[0].source_address), "::1");
  EXPECT_EQ(sink.packets[0].source_port, peer.port());
}

TEST(TransportIpv6, ScopeAfterPercentIsKept) {
  auto control = NewControl();
  ASSERT_EQ(ConfigOf(control.get(), "UseIPv6=True"), "");
  ASSERT_EQ(control->put_RemoteHost(u"fe80::1%3"), kOk);
  std::u16string host;
  control->get_RemoteHost(&host);
  EXPECT_EQ(N(host), "fe80::1%3");
}

}  // namespace
}  // namespace ostrel
