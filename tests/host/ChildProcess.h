#pragma once
// A program run by a test: started with extra environment, its standard
// output and error collected in files, killed and reaped if the test leaves
// it running.
#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TempDir.h"

class ChildProcess {
 public:
  // NAME and VALUE; no value unsets NAME.
  using Env = std::vector<std::pair<std::string, std::optional<std::string>>>;

  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (a path, or a name looked up on $PATH) with `env` applied
  // to the test's own environment. False when it could not be started.
  bool Start(const std::vector<std::string>& argv, const Env& env = {});
  // Waits up to `seconds` for the exit. True when it has ended.
  bool Wait(double seconds);
  void Signal(int signal);
  bool running() const { return pid_ > 0; }

  // After the exit: the status, or 128 + the signal that ended it.
  int status() const { return status_; }
  std::string Stdout() const;
  std::string Stderr() const;

  // Starts, waits up to `seconds` (killing it after that) and returns the
  // status, -1 when it could not be started or had to be killed.
  int Run(const std::vector<std::string>& argv, const Env& env, double seconds);

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  int status_ = -1;
};

// Seconds on the monotonic clock.
double MonotonicSeconds();
