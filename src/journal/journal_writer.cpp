#include "journal/journal_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace fd::journal {

JournalWriter::Seams JournalWriter::SystemCalls() {
  return {[](int fd, const void* data, size_t size) { return ::write(fd, data, size); },
          [](int fd) { return ::fdatasync(fd); }};
}

JournalWriter::JournalWriter(Seams seams) : seams_(std::move(seams)) {}

JournalWriter::~JournalWriter() { Close(); }

bool JournalWriter::Open(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd_ < 0) return false;
  path_ = path;
  failed_ = false;
  failureReason_.clear();
  bytes_ = 0;
  lines_ = 0;
  stopping_ = false;
  syncRequested_ = false;
  syncError_ = 0;
  syncer_ = std::thread([this] { SyncLoop(); });
  return true;
}

void JournalWriter::Append(const std::string& text) {
  if (fd_ < 0 || failed_) return;
  NoticeSyncFailure();
  if (failed_) return;
  std::string line = text;
  line += '\n';
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = seams_.Write(fd_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write of nothing would loop for ever; the disk is as good as full.
      Fail(n < 0 ? errno : ENOSPC);
      return;
    }
    done += static_cast<size_t>(n);
  }
  bytes_ += line.size();
  ++lines_;
  dirty_ = true;
}

void JournalWriter::SyncSoon() {
  if (fd_ < 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    syncRequested_ = true;
  }
  wake_.notify_one();
}

void JournalWriter::Close() {
  if (fd_ < 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (syncer_.joinable()) syncer_.join();
  NoticeSyncFailure();
  ::close(fd_);
  fd_ = -1;
}

void JournalWriter::Fail(int error) {
  failed_ = true;
  failureReason_ = std::strerror(error);
  if (OnFailure) OnFailure(failureReason_);
}

// The syncing thread only records its failure; it is told on the appending thread, like any other.
void JournalWriter::NoticeSyncFailure() {
  const int error = syncError_.exchange(0);
  if (error != 0 && !failed_) Fail(error);
}

void JournalWriter::SyncLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait_for(lock, std::chrono::milliseconds(SyncIntervalMs), [this] { return stopping_ || syncRequested_; });
    const bool last = stopping_;
    syncRequested_ = false;
    if (dirty_.exchange(false)) {
      lock.unlock();
      if (seams_.Sync(fd_) != 0) syncError_ = errno != 0 ? errno : EIO;
      lock.lock();
    }
    if (last) return;
  }
}

}  // namespace fd::journal
