#pragma once
// The engine's hidden notification window: a QObject living on the control's
// thread that turns socket readiness into window messages for the engine, so
// socket events are handled only while that thread processes events. Read
// readiness is reported for as long as data waits (the engine reads until
// the socket is empty); write readiness once after a socket is selected, and
// again after a send that would have blocked.

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "syslog/os/socket_api.h"

namespace ostrel {

// A window message for the engine: the socket notification message carries
// the socket and the event, as an asynchronous select would post it.
struct WindowMessage {
  static constexpr uint32_t kSocketNotify = 0x0400 + 102;
  static constexpr int kRead = 1;
  static constexpr int kWrite = 2;

  uint32_t id = 0;
  os::SocketHandle socket = os::kNoSocket;
  int event = 0;
};

class NotificationWindow final : public QObject {
 public:
  using Handler = std::function<void(const WindowMessage&)>;

  explicit NotificationWindow(Handler handler);
  ~NotificationWindow() override;

  // Asks for read and write notifications on `socket`; false when this thread
  // cannot deliver them (it has no event loop).
  bool Select(os::SocketHandle socket);
  // Stops every notification; safe from inside a notification.
  void Deselect();
  void SetReadEnabled(bool enabled);
  void RearmWrite();

  // One step of the thread's event processing: handles what is waiting, or,
  // when nothing is, waits up to `wait_ms` for something to arrive.
  static void WaitStep(int wait_ms);

 private:
  void Deliver(int event);
  void RetireNotifiers();

  Handler handler_;
  os::SocketHandle socket_ = os::kNoSocket;
  std::unique_ptr<QSocketNotifier> read_;
  std::unique_ptr<QSocketNotifier> write_;
  // Notifiers dropped while one of them was being delivered; freed later.
  std::vector<std::unique_ptr<QSocketNotifier>> retired_;
  int delivering_ = 0;
};

}  // namespace ostrel
