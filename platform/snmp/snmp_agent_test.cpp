#include "platform/snmp/snmp_agent.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <vector>

#include "platform/clock/simulated_clock.h"
#include "platform/eventloop/qt_clock.h"
#include "tests/support/qt_environment.h"

namespace corvane::platform {
namespace {

using ::testing::HasSubstr;

const auto* const kQt = ::testing::AddGlobalTestEnvironment(new corvane::testing::QtEnvironment);

// A UDP socket on 127.0.0.1 at a port the system picks; closed, it leaves a
// port where nothing listens.
class Receiver {
 public:
  Receiver() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size);
    port_ = ntohs(local.sin_port);
    timeval wait{0, 200000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  }
  ~Receiver() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int port() const { return port_; }
  std::string destination() const { return "127.0.0.1:" + std::to_string(port_); }
  // One datagram, or nothing after a short real wait.
  std::vector<uint8_t> Receive() {
    std::vector<uint8_t> buffer(65536);
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class SnmpAgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clock_.SetEventProcessor([] { QCoreApplication::processEvents(); });
    agent_->on_error = [this](int number, const std::string& description) {
      errors_.push_back({number, description});
    };
    agent_->Open();
  }
  void Prepare(const std::string& destination) {
    agent_->Endpoint().Close();
    agent_->Endpoint().SetDestination(destination, 0);
    SnmpTrapMessage& message = agent_->Message();
    message.Clear();
    message.SetCommunity("tamber");
    message.SetMessageType(kSnmpTrapMessageType);
    message.SetEnterprise("1.3.6.1.4.1.7365.2.1.2");
    message.SetGenericTrap(6);
    message.SetSpecificTrap(1);
    message.SetTimeStamp(4200);
    message.SetAgentAddress("127.0.0.1");
    SnmpVariable variable;
    variable.SetObjectId("1.3.6.1.4.1.7365.2.1.1.6");
    variable.SetTypeCode(kSnmpTypeInteger);
    variable.SetValue("3");
    message.AppendVariable(variable);
  }

  struct Error {
    int number;
    std::string description;
  };
  SimulatedClock clock_{TimePoint{} + std::chrono::hours(24 * 365 * 50)};
  std::unique_ptr<SnmpAgent> agent_ = CreateSnmpAgent(clock_);
  std::vector<Error> errors_;
};

TEST_F(SnmpAgentTest, SendsTheEncodedMessageAsOneDatagram) {
  Receiver receiver;
  Prepare(receiver.destination());
  agent_->Send();
  EXPECT_EQ(receiver.Receive(), agent_->Message().Encode());
  // A new destination replaces the old one.
  Receiver second;
  Prepare(second.destination());
  agent_->Send();
  EXPECT_EQ(second.Receive(), agent_->Message().Encode());
  EXPECT_TRUE(receiver.Receive().empty());
  clock_.ProcessEvents();
  EXPECT_TRUE(errors_.empty());
}

TEST_F(SnmpAgentTest, BadDestinationsAndMissingSetUpFailTheCall) {
  for (const char* bad : {"127.0.0.1", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:-1", "127.0.0.1:16x",
                          "127.0.0.1:", ":162", "localhost:162", "127.0.0.1:162:1", "::1:162"}) {
    EXPECT_THROW(agent_->Endpoint().SetDestination(bad, 0), SnmpError) << bad;
  }
  EXPECT_THROW(agent_->Endpoint().SetDestination("127.0.0.1:162", 1), SnmpError);
  Receiver receiver;
  Prepare(receiver.destination());
  agent_->Endpoint().Close();
  EXPECT_THROW(agent_->Send(), SnmpError);  // no destination
  agent_->Close();
  EXPECT_THROW(agent_->Send(), SnmpError);  // not open
  EXPECT_TRUE(receiver.Receive().empty());
}

TEST_F(SnmpAgentTest, MissingReceiverIsNotifiedOnTheEventLoopNotFromTheCall) {
  Receiver gone;
  const std::string destination = gone.destination();
  gone.Close();
  Prepare(destination);
  EXPECT_NO_THROW(agent_->Send());
  EXPECT_TRUE(errors_.empty());
  clock_.ProcessEvents();
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].number, 10054);
  EXPECT_THAT(errors_[0].description, HasSubstr("refused"));
  EXPECT_THAT(errors_[0].description, HasSubstr(destination));
  clock_.ProcessEvents();
  EXPECT_EQ(errors_.size(), 1u);
}

// Traps sent back to back, with no event processing between them, each
// still give their own notification, and no call fails on an earlier
// trap's refusal.
TEST_F(SnmpAgentTest, RefusalsOfTrapsSentBackToBackAreEachNotified) {
  Receiver gone;
  const std::string destination = gone.destination();
  gone.Close();
  for (int i = 0; i < 3; ++i) {
    Prepare(destination);
    EXPECT_NO_THROW(agent_->Send());
  }
  EXPECT_TRUE(errors_.empty());
  clock_.ProcessEvents();
  EXPECT_EQ(errors_.size(), 3u);
}

TEST_F(SnmpAgentTest, CloseDropsUndeliveredNotifications) {
  Receiver gone;
  const std::string destination = gone.destination();
  gone.Close();
  Prepare(destination);
  agent_->Send();
  agent_->Close();
  clock_.ProcessEvents();
  EXPECT_TRUE(errors_.empty());
  agent_->Open();
  Receiver receiver;
  Prepare(receiver.destination());
  agent_->Send();
  EXPECT_EQ(receiver.Receive(), agent_->Message().Encode());
}

// Under the real clock the notification comes from Qt's own loop, within a
// short pause of real time.
TEST(SnmpAgentRealClockTest, MissingReceiverIsNotifiedDuringAPause) {
  QtClock clock;
  auto agent = CreateSnmpAgent(clock);
  int errors = 0;
  agent->on_error = [&](int number, const std::string&) { errors += number == 10054; };
  agent->Open();
  Receiver gone;
  const std::string destination = gone.destination();
  gone.Close();
  agent->Endpoint().SetDestination(destination, 0);
  SnmpTrapMessage& message = agent->Message();
  message.SetMessageType(kSnmpTrapMessageType);
  message.SetEnterprise("1.3.6.1.4.1.7365.2.1.2");
  message.SetAgentAddress("127.0.0.1");
  agent->Send();
  for (int i = 0; i < 20 && errors == 0; ++i) PauseWithEvents(clock, Duration(10), Duration(10));
  EXPECT_EQ(errors, 1);
}

}  // namespace
}  // namespace corvane::platform
