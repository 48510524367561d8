#include "syslog/error_codes.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "syslog/os/socket_api.h"

namespace ostrel {
namespace {

TEST(ErrorCodes, CodesBecomeErrorNumbersAndStatuses) {
  struct Case {
    int code;
    int32_t error_number;
    uint32_t status;
  };
  const Case cases[] = {
      {-1, 20000, 0x800A4E20},    {104, 20105, 0x800A4E89},   {109, 20110, 0x800A4E8E},
      {116, 20117, 0x800A4E95},   {451, 20452, 0x800A4FE4},   {10000, 30001, 0x800A7531},
      {10048, 25049, 0x800A61D9}, {11001, 26002, 0x800A6592},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(ErrorNumber(c.code), c.error_number);
    EXPECT_EQ(static_cast<uint32_t>(StatusForCode(c.code)), c.status);
  }
  EXPECT_EQ(StatusForCode(0), kOk);
  EXPECT_EQ(static_cast<uint32_t>(StatusForCode(200)), 0x800A0007u);
}

TEST(ErrorCodes, DescriptionsComeFromTheWinsockTable) {
  EXPECT_EQ(CodeDescription(10049), "[10049] Can't assign requested address");
  EXPECT_EQ(CodeDescription(11001), "[11001] Host not found");
  EXPECT_EQ(CodeDescription(10066), "[10066] Directory not empt");
  EXPECT_EQ(CodeDescription(10004), "[10004] Interrupted system call");
  EXPECT_EQ(CodeDescription(11004), "[11004] Valid name, no data record (check DNS setup)");
  EXPECT_EQ(CodeDescription(10109), "[10109] (no description available)");
  EXPECT_EQ(CodeDescription(10061), "[10061] Connection refused");
  EXPECT_TRUE(WinsockText(10000).empty());
}

TEST(ErrorCodes, ErrnoMapsToItsWinsockTwin) {
  const std::pair<int, int> cases[] = {
      {EADDRINUSE, 10048},  {EADDRNOTAVAIL, 10049}, {ECONNREFUSED, 10054}, {EMSGSIZE, 10040},
      {EWOULDBLOCK, 10035}, {EACCES, 10013},        {EPERM, 10013},        {ENOBUFS, 10055},
      {ENETUNREACH, 10051}, {EINVAL, 10022},        {ENOTSOCK, 10038},     {EHOSTUNREACH, 10065},
      {EDEADLK, 10107},
  };
  for (const auto& [error, code] : cases) {
    EXPECT_EQ(os::WinsockCodeFromErrno(error), code) << "errno " << error;
  }
}

}  // namespace
}  // namespace ostrel
