#include "service/sent_key_list.h"

#include <gtest/gtest.h>

namespace corvane::service {
namespace {

EventRecord Event(std::string message) {
  EventRecord e;
  e.LogName = "Application";
  e.RecordId = "17";
  e.TimeCreated = "2026-12-11 10:00:00";
  e.Level = "2 - Warning";
  e.Source = "Disk";
  e.Category = "n/a";
  e.EventID = "51";
  e.UserName = "S-1-5-18";
  e.MachineName = "host01";
  e.Message = std::move(message);
  return e;
}

TEST(DuplicateKeyTest, MessagePartByMode) {
  const std::string prefix = "Application_2 - Warning_Disk_n/a_51_S-1-5-18_host01_";
  struct Case {
    const char* mode;
    const char* message;
    const char* part;
  } cases[] = {
      {"Whole String Equal", "abcdefghij ", "abcdefghij "},
      {"First 25% Equal", "abcdefghij ", "ab"},
      {"First Half Equal", "abcdefghij ", "abcde"},
      {"Last Half Equal", "abcdefghij ", "ghij "},  // keeps the reader's trailing space
      {"Last 25% Equal", "abcdefghij ", "j "},
      {"First Half Equal", "x", ""},
      {"Last 25% Equal", "abc", ""},
      {"First Half Equal", "äöüß", "äö"},  // characters, not bytes
      {"Last Half Equal", "日本語のログ", "のログ"},
      {"Last 25% Equal", "Ошибка диска", "ска"},
      {"Sometimes Equal", "abcdefghij ", "abcdefghij "},  // unknown mode
      {"", "abc", "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " / " + c.message);
    EXPECT_EQ(DuplicateKey(Event(c.message), c.mode), prefix + c.part);
  }
}

TEST(DuplicateKeyTest, RecordIdAndTimeTakeNoPartButEveryOtherFieldDoes) {
  const EventRecord base = Event("Disk full ");
  EventRecord later = base;
  later.RecordId = "18";
  later.TimeCreated = "2026-12-11 11:00:00";
  EXPECT_EQ(DuplicateKey(base, "Whole String Equal"), DuplicateKey(later, "Whole String Equal"));

  for (std::string EventRecord::*field :
       {&EventRecord::LogName, &EventRecord::Level, &EventRecord::Source, &EventRecord::Category,
        &EventRecord::EventID, &EventRecord::UserName, &EventRecord::MachineName, &EventRecord::Message}) {
    EventRecord other = base;
    other.*field += "x";
    EXPECT_NE(DuplicateKey(base, "Whole String Equal"), DuplicateKey(other, "Whole String Equal"));
  }
}

TEST(SentKeyListTest, RemembersUntilResetAndStopsAtCapacity) {
  SentKeyList list;
  EXPECT_FALSE(list.IsSent("a"));
  ASSERT_TRUE(list.Remember("a"));
  ASSERT_TRUE(list.Remember("a"));  // an event sent as trap and syslog counts twice
  EXPECT_TRUE(list.IsSent("a"));
  EXPECT_FALSE(list.IsSent("A"));
  EXPECT_EQ(list.count(), 2);

  for (int i = list.count(); i < SentKeyList::kCapacity; ++i) {
    ASSERT_TRUE(list.Remember("key" + std::to_string(i)));
  }
  EXPECT_FALSE(list.Remember("one too many"));
  EXPECT_FALSE(list.IsSent("one too many"));
  EXPECT_TRUE(list.IsSent("key9999"));
  EXPECT_EQ(list.count(), SentKeyList::kCapacity);

  list.Reset();
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(list.IsSent("a"));
  EXPECT_TRUE(list.Remember("a"));
}

TEST(SentKeyListTest, FullWarningOncePerDay) {
  SentKeyList list;
  EXPECT_FALSE(list.TakeFullWarning());
  for (int i = 0; i < SentKeyList::kCapacity; ++i) ASSERT_TRUE(list.Remember(std::to_string(i)));
  EXPECT_TRUE(list.TakeFullWarning());
  EXPECT_FALSE(list.TakeFullWarning());
  list.Reset();
  for (int i = 0; i < SentKeyList::kCapacity; ++i) ASSERT_TRUE(list.Remember(std::to_string(i)));
  EXPECT_TRUE(list.TakeFullWarning());
}

}  // namespace
}  // namespace corvane::service
