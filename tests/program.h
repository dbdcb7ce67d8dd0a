// The programs run as processes of their own, for the command line's and the
// POSIX platform's tests: their exit status, output streams and signals.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support.h"

namespace testing_support {

struct Result {
  int status = -1;  // the exit code; -1 when killed by a signal
  std::string out, err;
};

// Starts a program (args[0]) in `cwd`, with no language set, its output
// streams going to `streams`; `setup` runs in the child just before the
// program starts.
inline pid_t Spawn(const std::string& cwd, std::vector<std::string> args,
                   const TempDir& streams, const std::function<void()>& setup) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  const std::string outPath = streams / "out", errPath = streams / "err";
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(cwd.c_str()) != 0)
      _exit(127);
    alarm(30);  // a run that hangs fails instead of stalling the suite
    // No language: English.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
      unsetenv(name);
    if (setup) setup();
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

inline Result Wait(pid_t pid, const TempDir& streams, int* signal = nullptr) {
  Result r;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
    r.status = WEXITSTATUS(wstatus);
  if (signal != nullptr) *signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
  r.out = ReadFile(streams / "out");
  r.err = ReadFile(streams / "err");
  return r;
}

// Runs a program (the command line unless told) in `cwd` with `args`.
inline Result RunCli(const std::string& cwd, std::vector<std::string> args,
                     const std::function<void()>& setup = nullptr,
                     const std::string& program = TARNVELL_CLI) {
  TempDir streams;
  args.insert(args.begin(), program);
  return Wait(Spawn(cwd, std::move(args), streams, setup), streams);
}

// Starts a program on a container whose first member takes a while to write,
// and returns once it is writing it (or -1).
inline pid_t StartWriting(const std::string& program, const TempDir& dir,
                          const TempDir& streams,
                          const std::function<void()>& setup) {
  WriteFile(dir / "k.fnt", Header(64, 512u << 20, 64, 0));
  pid_t pid = Spawn(dir.path(), {program, dir / "k.fnt"}, streams, setup);
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
  for (int i = 0; i < 20000; ++i) {
    for (int fd = 3; fd < 64; ++fd) {
      char target[4096];
      ssize_t n = readlink((fds + std::to_string(fd)).c_str(), target, sizeof target - 1);
      const std::string to(target, n > 0 ? static_cast<size_t>(n) : 0);
      if (to.rfind(dir.path() + "/", 0) == 0 && to != dir / "k.fnt") return pid;
    }
    usleep(500);
  }
  kill(pid, SIGKILL);
  return -1;
}

}  // namespace testing_support
