#include "prosvitek/files/terminating_signals.h"

#include "prosvitek/files/atomic_file.h"

#include <signal.h>

namespace files {
namespace {

void (*g_first)() = nullptr;

// The other handled signals are blocked while this runs; the re-raised one
// ends the process as soon as the handler returns.
void OnTerminatingSignal(int number) {
  if (g_first) g_first();
  RemovePendingTemporaryFiles();
  (void)::signal(number, SIG_DFL);
  (void)::raise(number);
}

}  // namespace

void RemoveTemporaryFilesOnSignals(void (*first)()) {
  g_first = first;
  static constexpr int kSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGALRM,
                                     SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
  struct sigaction action {};
  action.sa_handler = OnTerminatingSignal;
  ::sigemptyset(&action.sa_mask);
  for (int s : kSignals) ::sigaddset(&action.sa_mask, s);
  for (int s : kSignals) {
    struct sigaction old {};
    if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) ::sigaction(s, &action, nullptr);
  }
}

}  // namespace files
