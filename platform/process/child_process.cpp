#include "platform/process/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace corvane::platform {
namespace {

// Owns the spawn attributes and file actions for the length of one start.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const SpawnRequest& request, std::string& error) {
  SpawnSetup setup;
  int rc = posix_spawn_file_actions_addopen(&setup.actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (rc == 0 && !request.stdout_file.empty()) {
    rc = posix_spawn_file_actions_addopen(&setup.actions_, STDOUT_FILENO, request.stdout_file.c_str(),
                                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (rc == 0 && !request.stderr_file.empty()) {
    rc = posix_spawn_file_actions_addopen(&setup.actions_, STDERR_FILENO, request.stderr_file.c_str(),
                                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (rc == 0 && !request.working_folder.empty()) {
    rc = posix_spawn_file_actions_addchdir_np(&setup.actions_, request.working_folder.c_str());
  }
  // A group of its own, so a kill reaches whatever the program started.
  if (rc == 0) rc = posix_spawnattr_setpgroup(&setup.attributes_, 0);
  if (rc == 0) rc = posix_spawnattr_setflags(&setup.attributes_, POSIX_SPAWN_SETPGROUP);
  if (rc != 0) {
    error = std::string("Cannot prepare the start of ") + request.program.string() + ": " + std::strerror(rc);
    return nullptr;
  }

  std::vector<std::string> args;
  args.push_back(request.program.string());
  args.insert(args.end(), request.arguments.begin(), request.arguments.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  rc = posix_spawn(&pid, request.program.c_str(), &setup.actions_, &setup.attributes_, argv.data(), environ);
  if (rc != 0) {
    error = "Cannot start " + request.program.string() + ": " + std::strerror(rc);
    return nullptr;
  }
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

ChildProcess::~ChildProcess() { Kill(); }

void ChildProcess::Record(int wait_status) {
  if (WIFEXITED(wait_status)) {
    exit_status_ = WEXITSTATUS(wait_status);
  } else if (WIFSIGNALED(wait_status)) {
    exit_status_ = 128 + WTERMSIG(wait_status);
  } else {
    exit_status_ = 255;
  }
}

bool ChildProcess::HasEnded() {
  if (exit_status_) return true;
  int status = 0;
  pid_t rc;
  do {
    rc = ::waitpid(pid_, &status, WNOHANG);
  } while (rc < 0 && errno == EINTR);
  if (rc == pid_) {
    Record(status);
    return true;
  }
  if (rc < 0) {
    // Someone else reaped it (ECHILD): it has ended all the same.
    exit_status_ = 255;
    return true;
  }
  return false;
}

void ChildProcess::Kill() {
  if (exit_status_) return;
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);
  int status = 0;
  pid_t rc;
  do {
    rc = ::waitpid(pid_, &status, 0);
  } while (rc < 0 && errno == EINTR);
  if (rc == pid_) {
    Record(status);
  } else {
    exit_status_ = 255;
  }
}

}  // namespace corvane::platform
