// The bytes SendPacket puts on the wire at fixed times, read back by a plain
// UDP socket on loopback.

#include "syslog/packet_composer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "platform/clock/date_time.h"
#include "platform/clock/simulated_clock.h"
#include "syslog/test_support.h"

namespace ostrel {
namespace {

using corvane::platform::SimulatedClock;
using corvane::platform::TimePoint;
using testing::ConfigOf;
using testing::LastDescription;
using testing::NewControl;
using testing::UdpPeer;

TimePoint Utc(int year, int month, int day, int hour, int minute, int second) {
  using namespace std::chrono;
  return sys_days{std::chrono::year{year} / month / day} + hours{hour} + minutes{minute} +
         seconds{second};
}

std::string HostName() {
  char name[100] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

class Composer : public ::testing::Test {
 protected:
  void SetUp() override {
    control_->put_LocalHost(u"127.0.0.1");
    control_->put_LocalPort(0);
    control_->put_RemoteHost(u"127.0.0.1");
    control_->put_RemotePort(peer_.port());
    ASSERT_EQ(control_->put_Active(kVariantTrue), kOk);
  }
  std::string Sent(int16_t facility, int16_t severity, const std::u16string& message) {
    EXPECT_EQ(control_->SendPacket(facility, severity, message), kOk) << LastDescription();
    return peer_.Receive().value_or("<nothing>");
  }

  SimulatedClock clock_{Utc(2026, 3, 5, 0, 0, 9)};
  ComPtr<ISysLog> control_ = NewControl(os::SystemSocketApi(), &clock_);
  UdpPeer peer_;
  const std::string host_ = HostName();
};

TEST_F(Composer, WritesPriorityHeaderHostAndMessage) {
  struct Case {
    TimePoint when;
    int16_t facility;
    int16_t severity;
    std::u16string message;
    std::string expected;  // before the host text, and after it
    std::string tail;
  };
  const Case cases[] = {
      {Utc(2026, 3, 5, 0, 0, 9), 23, 3, u"App: x", "<187>Mar  5 00:00:09 ", " App: x"},
      {Utc(2026, 12, 15, 23, 59, 59), 23, 4, u"m", "<188>Dec 15 23:59:59 ", " m"},
      {Utc(2026, 1, 9, 8, 5, 7), 23, 6, u"App: started", "<190>Jan  9 08:05:07 ", " App: started"},
      {Utc(2026, 7, 31, 12, 0, 0), 0, 0, u"k", "<0>Jul 31 12:00:00 ", " k"},
      {Utc(2026, 7, 31, 12, 0, 0), 1, 9, u"k", "<9>Jul 31 12:00:00 ", " k"},
      {Utc(2026, 7, 31, 12, 0, 0), 32, 1, u"k", "<1>Jul 31 12:00:00 ", " k"},
      {Utc(2026, 7, 31, 12, 0, 0), -1, 0, u"k", "<248>Jul 31 12:00:00 ", " k"},
      {Utc(2026, 2, 1, 1, 2, 3), 23, 6, u"", "<190>Feb  1 01:02:03 ", " "},
      {Utc(2026, 2, 1, 1, 2, 3), 23, 6, u"line\r\nbreak\n", "<190>Feb  1 01:02:03 ",
       " line\r\nbreak\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    SimulatedClock clock(c.when);
    ComPtr<IClockInjection> injection;
    ASSERT_EQ(control_->QueryInterface(kIidIClockInjection, injection.ReceiveVoid()), kOk);
    injection->SetClock(&clock);
    EXPECT_EQ(Sent(c.facility, c.severity, c.message), c.expected + host_ + c.tail);
    injection->SetClock(&clock_);
  }
}

TEST_F(Composer, StampsUtcUnlessLocalTimeIsAsked) {
  const char* old_tz = std::getenv("TZ");
  const std::string saved = old_tz ? old_tz : "";
  setenv("TZ", "EET-2", 1);  // two hours east of Greenwich, no daylight saving
  tzset();
  clock_.AdvanceTo(Utc(2026, 6, 30, 23, 30, 0));
  EXPECT_EQ(Sent(23, 6, u"m"), "<190>Jun 30 23:30:00 " + host_ + " m");
  ASSERT_EQ(ConfigOf(control_.get(), "UseLocalTime=True"), "");
  EXPECT_EQ(Sent(23, 6, u"m"), "<190>Jul  1 01:30:00 " + host_ + " m");
  setenv("TZ", saved.c_str(), 1);
  tzset();
}

TEST_F(Composer, HostTextIsTheLocalAddressWithoutHostname) {
  ASSERT_EQ(ConfigOf(control_.get(), "UseHostname=False"), "");
  EXPECT_EQ(Sent(23, 6, u"m"), "<190>Mar  5 00:00:09 127.0.0.1 m");
}

TEST_F(Composer, MessageIsConvertedByTheCodePageAndCutAtAZero) {
  EXPECT_EQ(Sent(23, 6, u"caf\u00e9 \u20ac"),
            "<190>Mar  5 00:00:09 " + host_ + " caf\xc3\xa9 \xe2\x82\xac");
  EXPECT_EQ(Sent(23, 6, std::u16string(u"kept\0lost", 9)),
            "<190>Mar  5 00:00:09 " + host_ + " kept");
  ASSERT_EQ(ConfigOf(control_.get(), "CodePage=1252"), "");
  EXPECT_EQ(Sent(23, 6, u"caf\u00e9 \u20ac \u65e5"),
            "<190>Mar  5 00:00:09 " + host_ + " caf\xe9 \x80 ?");
}

TEST(ComposeHeader, IsAlwaysSixteenBytesOrNothing) {
  EXPECT_EQ(ComposeHeader({12, 9, 8, 5, 7}), "Dec  9 08:05:07 ");
  EXPECT_EQ(ComposeHeader({1, 31, 0, 0, 0}).size(), 16u);
  EXPECT_EQ(ComposeHeader({0, 1, 0, 0, 0}), "");
  EXPECT_EQ(ComposeHeader({13, 1, 0, 0, 0}), "");
  EXPECT_EQ(ComposePacket(23, 6, {13, 1, 0, 0, 0}, "h", "m"), "");
}

}  // namespace
}  // namespace ostrel
