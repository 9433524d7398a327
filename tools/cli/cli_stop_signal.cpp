#include "cli_stop_signal.h"

#include <csignal>

namespace fd::cli {

namespace {

volatile std::sig_atomic_t requested = 0;

void OnStop(int) { requested = 1; }

void Restore(int signal, void (*previous)(int)) { std::signal(signal, previous == SIG_ERR ? SIG_DFL : previous); }

}  // namespace

StopSignals::StopSignals() {
  requested = 0;
  previousInt_ = std::signal(SIGINT, OnStop);
  previousTerm_ = std::signal(SIGTERM, OnStop);
}

StopSignals::~StopSignals() {
  Restore(SIGINT, previousInt_);
  Restore(SIGTERM, previousTerm_);
}

bool StopSignals::Requested() { return requested != 0; }

}  // namespace fd::cli
