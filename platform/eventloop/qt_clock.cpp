#include "platform/eventloop/qt_clock.h"

#include <QCoreApplication>
#include <QTimer>
#include <thread>

namespace corvane::platform {
namespace {

class QtTimer final : public Timer {
 public:
  QtTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (on_timeout) on_timeout();
    });
  }
  void SetInterval(Duration interval) override { timer_.setInterval(interval); }
  Duration Interval() const override { return Duration(timer_.interval()); }
  void Start() override { timer_.start(); }
  void Stop() override { timer_.stop(); }
  bool IsActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace

TimePoint QtClock::Now() const { return std::chrono::system_clock::now(); }

void QtClock::Sleep(Duration duration) {
  if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

std::unique_ptr<Timer> QtClock::CreateTimer() { return std::make_unique<QtTimer>(); }

void QtClock::ProcessEvents() { QCoreApplication::processEvents(); }

}  // namespace corvane::platform
