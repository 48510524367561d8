#pragma once
// Qt's application object for the whole test program, so sockets watched by
// socket notifiers have an event dispatcher on the test's thread.

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace corvane::testing {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = new QCoreApplication(argc_, argv_); }
  void TearDown() override { delete app_; }

 private:
  int argc_ = 1;
  char name_[8] = "test";
  char* argv_[2] = {name_, nullptr};
  QCoreApplication* app_ = nullptr;
};

}  // namespace corvane::testing
