#include "syslog/notification_window.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QTimer>

namespace ostrel {

NotificationWindow::NotificationWindow(Handler handler) : handler_(std::move(handler)) {}

NotificationWindow::~NotificationWindow() { Deselect(); }

bool NotificationWindow::Select(os::SocketHandle socket) {
  Deselect();
  if (QAbstractEventDispatcher::instance(thread()) == nullptr) return false;
  socket_ = socket;
  read_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(socket), QSocketNotifier::Read);
  write_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(socket), QSocketNotifier::Write);
  QObject::connect(read_.get(), &QSocketNotifier::activated, this,
                   [this] { Deliver(WindowMessage::kRead); });
  QObject::connect(write_.get(), &QSocketNotifier::activated, this, [this] {
    // Writability is reported once, not for as long as it lasts.
    write_->setEnabled(false);
    Deliver(WindowMessage::kWrite);
  });
  return true;
}

void NotificationWindow::Deselect() {
  if (read_) read_->setEnabled(false);
  if (write_) write_->setEnabled(false);
  if (read_) retired_.push_back(std::move(read_));
  if (write_) retired_.push_back(std::move(write_));
  socket_ = os::kNoSocket;
  RetireNotifiers();
}

void NotificationWindow::RetireNotifiers() {
  if (delivering_ == 0) retired_.clear();
}

void NotificationWindow::SetReadEnabled(bool enabled) {
  if (read_) read_->setEnabled(enabled);
}

void NotificationWindow::RearmWrite() {
  if (write_) write_->setEnabled(true);
}

void NotificationWindow::Deliver(int event) {
  const WindowMessage message{WindowMessage::kSocketNotify, socket_, event};
  ++delivering_;
  handler_(message);
  --delivering_;
  RetireNotifiers();
}

void NotificationWindow::WaitStep(int wait_ms) {
  QAbstractEventDispatcher* dispatcher =
      QAbstractEventDispatcher::instance(QThread::currentThread());
  if (dispatcher == nullptr) return;
  if (dispatcher->processEvents(QEventLoop::AllEvents)) return;
  if (wait_ms <= 0) return;
  // Nothing was waiting: sleep in the dispatcher until input or the deadline.
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  deadline.start(wait_ms);
  dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace ostrel
