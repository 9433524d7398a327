#pragma once

namespace fd::cli {

// While one lives, Ctrl+C (SIGINT) and SIGTERM are the operator's stop: they only set a flag that
// the running show or channel test looks at between its steps, so that it stops the way the stop
// key does (the stop frames still go out). A repeated signal does not kill the program halfway
// through its stop either. The previous handling comes back afterwards.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  static bool Requested();

 private:
  void (*previousInt_)(int);
  void (*previousTerm_)(int);
};

}  // namespace fd::cli
