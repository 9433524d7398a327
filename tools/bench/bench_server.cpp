#include "bench_server.h"

#include <chrono>
#include <vector>

namespace fd::tools {

namespace {

constexpr int kConverter = 0;
// The serving loop's pace: well below the 3.6 ms a frame takes on the wire.
constexpr auto kPace = std::chrono::microseconds(500);

}  // namespace

BenchServer::BenchServer(sim::Bench& bench, std::string linkPath) : bench_(bench), linkPath_(std::move(linkPath)) {}

BenchServer::~BenchServer() { Stop(); }

bool BenchServer::Start(std::string& error) {
  {
    std::lock_guard lock(mutex_);
    if (!PlugLocked(error)) return false;
  }
  stop_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void BenchServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  UnplugLocked();
}

std::string BenchServer::SlavePath() {
  std::lock_guard lock(mutex_);
  return pty_.IsOpen() ? pty_.SlavePath() : std::string();
}

bool BenchServer::Plugged() {
  std::lock_guard lock(mutex_);
  return pty_.IsOpen();
}

bool BenchServer::PlugLocked(std::string& error) {
  if (!pty_.Open(error)) return false;
  if (!linkPath_.empty() && !UpdateLink(linkPath_, pty_.SlavePath(), error)) {
    pty_.Close();
    return false;
  }
  bench_.Replug(kConverter);
  if (bench_.Segment().OpenConverter(kConverter, session_) != bus::FT_OK) {
    error = "the bench's converter 0 cannot be opened";
    pty_.Close();
    return false;
  }
  return true;
}

void BenchServer::UnplugLocked() {
  if (!pty_.IsOpen()) return;
  if (!linkPath_.empty()) RemoveLink(linkPath_, pty_.SlavePath());
  pty_.Close();
  bench_.Unplug(kConverter);
  session_ = 0;
}

bool BenchServer::Unplug(std::string& error) {
  std::lock_guard lock(mutex_);
  if (!pty_.IsOpen()) {
    error = "the converter is already unplugged";
    return false;
  }
  UnplugLocked();
  return true;
}

bool BenchServer::Replug(std::string& error) {
  std::lock_guard lock(mutex_);
  if (pty_.IsOpen()) {
    error = "the converter is plugged in already";
    return false;
  }
  return PlugLocked(error);
}

void BenchServer::Serve() {
  std::vector<unsigned char> buffer(4096);
  sim::BusSegment& segment = bench_.Segment();
  while (!stop_) {
    {
      std::lock_guard lock(mutex_);
      if (pty_.IsOpen()) {
        const long n = pty_.Read(buffer.data(), buffer.size());
        if (n > 0) segment.Transmit(kConverter, session_, buffer.data(), static_cast<uint32_t>(n));
      }
      // The devices live on (playback, the remote's button) whether or not the program is there.
      segment.Poll();
      if (pty_.IsOpen()) {
        uint32_t got = 0;
        segment.Receive(kConverter, session_, buffer.data(), static_cast<uint32_t>(buffer.size()), got);
        if (got > 0) pty_.Write(buffer.data(), got);
      }
    }
    std::this_thread::sleep_for(kPace);
  }
}

}  // namespace fd::tools
