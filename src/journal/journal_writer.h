#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace fd::journal {

// Appends lines to one journal file. Each line reaches the kernel with a plain write(2) before
// Append returns, so a crash or a kill of the program loses nothing appended; a thread of its own
// runs fdatasync about once a second and whenever asked (at a stop), so a power loss loses at most
// that second, and the thread that appends (the one that fires the cues) never waits for a disk.
//
// A write that fails (a full disk, an I/O error) ends the file there: the show goes on, nothing
// more is written, and OnFailure is called once, on the appending thread, with where it stopped.
class JournalWriter {
 public:
  // The calls to the kernel, replaceable so that tests can make a disk fail.
  struct Seams {
    std::function<ssize_t(int fd, const void* data, size_t size)> Write;
    std::function<int(int fd)> Sync;
  };
  static Seams SystemCalls();

  explicit JournalWriter(Seams seams = SystemCalls());
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Creates the file (never over an existing one) and starts the syncing thread.
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  // Writes text and a newline; nothing once the file has failed or is closed.
  void Append(const std::string& text);
  // Asks the syncing thread for an fdatasync now, without waiting for it.
  void SyncSoon();
  // Syncs a last time, stops the thread and closes the file.
  void Close();

  bool Failed() const { return failed_; }
  const std::string& Path() const { return path_; }
  // Bytes of whole lines in the file: where the journal stops after a failure.
  uint64_t BytesWritten() const { return bytes_; }
  uint64_t LinesWritten() const { return lines_; }
  // Why the file failed (the system's text), empty while it has not.
  const std::string& FailureReason() const { return failureReason_; }

  std::function<void(const std::string& reason)> OnFailure;

  static constexpr int SyncIntervalMs = 1000;

 private:
  void Fail(int error);
  void NoticeSyncFailure();
  void SyncLoop();

  Seams seams_;
  int fd_ = -1;
  std::string path_;
  bool failed_ = false;
  std::string failureReason_;
  uint64_t bytes_ = 0;
  uint64_t lines_ = 0;

  std::thread syncer_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool syncRequested_ = false;
  std::atomic<bool> dirty_{false};
  std::atomic<int> syncError_{0};
};

}  // namespace fd::journal
