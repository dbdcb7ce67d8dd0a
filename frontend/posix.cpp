#include "frontend/posix.h"

#include <iconv.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/posix_platform.h"

namespace tarnvell {

std::string Utf8FromCp932(const char* text) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  size_t inLeft = std::strlen(text);
  char* in = const_cast<char*>(text);
  char buffer[512];
  while (inLeft > 0) {
    char* at = buffer;
    size_t outLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &at, &outLeft);
    out.append(buffer, static_cast<size_t>(at - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.append(in, inLeft);  // keep what cannot be converted as it is
      break;
    }
  }
  iconv_close(cd);
  return out;
}

std::string CurrentDir() {
  std::string cwd;
  for (size_t size = 256;; size *= 2) {
    cwd.resize(size);
    if (getcwd(&cwd[0], size) != nullptr) break;
    if (errno != ERANGE) return std::string();
  }
  cwd.resize(std::strlen(cwd.c_str()));
  return cwd;
}

std::string AbsolutePath(const std::string& path, const std::string& cwd) {
  if ((!path.empty() && path[0] == '/') || cwd.empty()) return path;
  return cwd.back() == '/' ? cwd + path : cwd + "/" + path;
}

namespace {

void SetThreadName(const char* name) {
#ifdef __APPLE__
  pthread_setname_np(name);
#else
  pthread_setname_np(pthread_self(), name);
#endif
}

// The signals sent from outside whose default action ends the process; those
// a fault raises (SIGSEGV and the like) cannot be waited for.
std::vector<int> TerminatingSignals() {
  std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGUSR1,
                              SIGUSR2, SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU};
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) signals.push_back(sig);
#endif
  return signals;
}

}  // namespace

void HandleSignalsForCleanUp() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  sigset_t set;
  sigemptyset(&set);
  for (int sig : TerminatingSignals()) {
    struct sigaction before = {};
    // A signal ignored from the start (nohup, background jobs) stays ignored.
    if (sigaction(sig, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
      continue;
    sigaddset(&set, sig);
  }
  // Blocked here, and so in every thread started later (Qt starts several):
  // only the waiting thread below ever takes them.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set] {
    SetThreadName(kSignalThread);
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
    RemoveScratchFiles();
    signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);  // ends the process as the signal would have
    _exit(128 + sig);
  }).detach();
}

}  // namespace tarnvell
