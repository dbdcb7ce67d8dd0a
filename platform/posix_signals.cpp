#include "platform/posix_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <system_error>
#include <thread>
#include <vector>

#include "platform/posix_platform.h"

namespace tarnvell {

namespace {

// The build says which form the system's call takes (one argument on macOS).
void SetThreadName(const char* name) {
#if TARNVELL_THREAD_NAME_ONE_ARGUMENT
  pthread_setname_np(name);
#else
  pthread_setname_np(pthread_self(), name);
#endif
}

// The signals only other programs send whose default action ends the
// process: blocked everywhere, and waited for by the clean-up thread.
std::vector<int> TerminatingSignals() {
  std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGUSR1,
                              SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};
#ifdef SIGPWR
  signals.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
  signals.push_back(SIGSTKFLT);
#endif
#if defined(SIGPOLL) && SIGPOLL == SIGIO
  signals.push_back(SIGIO);  // where it is System V's SIGPOLL, it ends the process
#endif
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) signals.push_back(sig);
#endif
  return signals;
}

// Signals that a fault in the program raises and other programs may send
// too. A blocked fault would end the process at once, so these stay
// unblocked and a handler tells the two apart.
const int kFaultSignals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP};

pthread_t g_cleanUpThread;
struct sigaction g_faultBefore[NSIG];  // by signal number

void OnFaultSignal(int sig, siginfo_t* info, void*) {
  // Sent by kill, sigqueue or tgkill: the clean-up thread ends the process.
  if (info->si_code <= 0) {
    pthread_kill(g_cleanUpThread, sig);
    return;
  }
  // A fault: whatever took it before (the default, a sanitizer) takes it
  // when the instruction runs again.
  sigaction(sig, &g_faultBefore[sig], nullptr);
}

bool IgnoredFromTheStart(int sig, struct sigaction* before) {
  return sigaction(sig, nullptr, before) == 0 && before->sa_handler == SIG_IGN;
}

void CleanUpAndEnd(sigset_t set) {
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
}

}  // namespace

void HandleSignalsForCleanUp() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  // A signal ignored from the start (nohup, background jobs) stays ignored.
  struct sigaction before = {};
  sigset_t set, faults;
  sigemptyset(&set);
  sigemptyset(&faults);
  for (int sig : TerminatingSignals())
    if (!IgnoredFromTheStart(sig, &before)) sigaddset(&set, sig);
  for (int sig : kFaultSignals) {
    if (IgnoredFromTheStart(sig, &g_faultBefore[sig])) continue;
    sigaddset(&set, sig);
    sigaddset(&faults, sig);
  }
  // Blocked here, and so in every thread started later (Qt starts several):
  // only the clean-up thread ever takes them. The fault signals are blocked
  // only while it starts, so that it waits for those passed on to it.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  try {
    std::thread cleanUp(CleanUpAndEnd, set);
    g_cleanUpThread = cleanUp.native_handle();
    cleanUp.detach();
  } catch (const std::system_error&) {
    // No thread to be had (a process limit): the program runs without the
    // clean-up, and every signal keeps its own action.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return;
  }
  pthread_sigmask(SIG_UNBLOCK, &faults, nullptr);
  struct sigaction passOn = {};
  passOn.sa_sigaction = OnFaultSignal;
  passOn.sa_flags = SA_SIGINFO;
  sigemptyset(&passOn.sa_mask);
  for (int sig : kFaultSignals)
    if (sigismember(&faults, sig)) sigaction(sig, &passOn, nullptr);
}

}  // namespace tarnvell
