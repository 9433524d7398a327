#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "pty_port.h"
#include "sim/bench.h"

namespace fd::tools {

// Serves a bench on a pseudo-terminal in real time: the bytes the program writes to the slave side
// go on the segment as converter 0's transmission, and everything converter 0 hears, its own echo
// included, goes back to the program. Unplug and Replug stand for pulling the USB converter out and
// putting it back: the pseudo-terminal disappears and a new one (with a new path) comes.
class BenchServer {
 public:
  // linkPath: when not empty, a symlink kept pointing at the current slave path.
  BenchServer(sim::Bench& bench, std::string linkPath);
  ~BenchServer();
  BenchServer(const BenchServer&) = delete;
  BenchServer& operator=(const BenchServer&) = delete;

  // Creates the pseudo-terminal and starts serving on a thread of its own.
  bool Start(std::string& error);
  void Stop();

  std::string SlavePath();
  bool Plugged();
  bool Unplug(std::string& error);
  // On success the new slave path is in SlavePath().
  bool Replug(std::string& error);

 private:
  void Serve();
  bool PlugLocked(std::string& error);
  void UnplugLocked();

  sim::Bench& bench_;
  const std::string linkPath_;
  std::mutex mutex_;  // the pseudo-terminal and the converter session
  PtyPort pty_;
  uint64_t session_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace fd::tools
