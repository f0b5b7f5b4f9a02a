#include "tests/host/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "tests/support/ReadFile.h"

double MonotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ChildProcess::~ChildProcess() {
  Signal(SIGKILL);
  Wait(5);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const Env& env) {
  if (pid_ > 0 || argv.empty()) return false;
  const std::string out = dir_.File("stdout"), err = dir_.File("stderr");
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ != 0) return pid_ > 0;
  for (const auto& [name, value] : env) {
    if (value) setenv(name.c_str(), value->c_str(), 1);
    if (!value) unsetenv(name.c_str());
  }
  const int in = open("/dev/null", O_RDONLY);
  const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || o < 0 || e < 0) _exit(126);
  dup2(in, 0);
  dup2(o, 1);
  dup2(e, 2);
  // The program goes when the test dies without cleaning up.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

bool ChildProcess::Wait(double seconds) {
  const double end = MonotonicSeconds() + seconds;
  for (int status = 0; pid_ > 0; usleep(5000)) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (MonotonicSeconds() >= end) {
      return false;
    }
  }
  return true;
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

std::string ChildProcess::Stdout() const { return ReadFile(dir_.File("stdout")); }
std::string ChildProcess::Stderr() const { return ReadFile(dir_.File("stderr")); }

int ChildProcess::Run(const std::vector<std::string>& argv, const Env& env, double seconds) {
  if (!Start(argv, env)) return -1;
  if (Wait(seconds)) return status_;
  Signal(SIGKILL);
  Wait(5);
  return -1;
}
