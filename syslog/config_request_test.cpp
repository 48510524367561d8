#include "syslog/config_request.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(ConfigRequest, ParsesNameIndexAndValue) {
  struct Case {
    const char* argument;
    const char* name;
    int32_t index;
    const char* value;
    bool query;
  };
  const Case cases[] = {
      {"UseLocalTime=True", "UseLocalTime", 0, "True", false},
      {"UseLocalTime", "UseLocalTime", 0, "", true},
      {"", "", 0, "", true},
      {"UseLocalTime[3]=yes", "UseLocalTime", 3, "yes", false},
      {"UseLocal(12)Time=1", "UseLocalTime", 12, "1", false},
      {"Name[-4]", "Name", -4, "", true},
      {"UseLocalTime =True", "UseLocalTime ", 0, "True", false},
      {"KerberosSPN=  \"a b \" ", "KerberosSPN", 0, "a b ", false},
      {"KerberosSPN=\"say \"hi\"\"", "KerberosSPN", 0, "say \"hi\"", false},
      {"KerberosSPN=a=b", "KerberosSPN", 0, "a=b", false},
      {"KerberosSPN=", "KerberosSPN", 0, "", false},
      {"KerberosSPN=\"", "KerberosSPN", 0, "", false},
      {"KerberosSPN=   ", "KerberosSPN", 0, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    const ConfigRequest request = ParseConfigRequest(c.argument);
    EXPECT_EQ(request.name, c.name);
    EXPECT_EQ(request.index, c.index);
    EXPECT_EQ(request.value, c.value);
    EXPECT_EQ(request.query, c.query);
  }
}

TEST(ConfigRequest, ReadsBooleansAndNumbers) {
  for (const char* truth : {"TRUE", "true", "TrUe", "yes", "YES", "1"}) {
    EXPECT_TRUE(ConfigBool(truth)) << truth;
  }
  for (const char* falsity : {"", "on", "False", "0", "2", " true", "y"}) {
    EXPECT_FALSE(ConfigBool(falsity)) << falsity;
  }
  const std::pair<const char*, int32_t> numbers[] = {
      {"42", 42},
      {"+7", 7},
      {"-15x", -15},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {" 5", 0},
      {"12 34", 12},
      {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(ConfigNumber(text), value) << text;
}

}  // namespace
}  // namespace ostrel
