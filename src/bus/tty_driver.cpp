#include "bus/tty_driver.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/terminal_text.h"

namespace fd::bus {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFtdiVendor = "0403";

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// ttyUSB10 after ttyUSB9: by the number at the end of the name, then by the name.
bool TtyOrder(const std::string& a, const std::string& b) {
  auto number = [](const std::string& name) {
    size_t i = name.size();
    while (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9') --i;
    return std::make_pair(name.substr(0, i), i < name.size() ? std::stoull(name.substr(i)) : 0ull);
  };
  const auto na = number(a), nb = number(b);
  if (na != nb) return na < nb;
  return a < b;
}

// A device that hung up (unplugged, or the other side of a pseudo-terminal closed) reports it
// through poll even when it still has bytes.
bool HungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 0) < 0) return errno != EINTR;
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool BaudToSpeed(uint32_t baud, speed_t& speed) {
  static const std::pair<uint32_t, speed_t> kSpeeds[] = {
      {300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},   {4800, B4800},
      {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600}, {115200, B115200},
      {230400, B230400}, {460800, B460800}, {921600, B921600}};
  for (const auto& [b, s] : kSpeeds) {
    if (b == baud) {
      speed = s;
      return true;
    }
  }
  return false;
}

// Milliseconds left until deadline, rounded up, never negative.
int MsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace

namespace {

constexpr std::string_view kInUse = "in use by another program";
constexpr std::string_view kHoldersUnknown = " (the system does not tell which)";

std::string InUseText(const std::string& path) {
  const std::string holders = TtyDriver::DeviceHolders(path);
  return std::string(kInUse) + (holders.empty() ? std::string(kHoldersUnknown) : ": " + holders);
}

}  // namespace

struct TtyDriver::Port {
  int fd = -1;
  termios saved{};
  bool haveSaved = false;
  uint32_t readMs = 0;
  uint32_t writeMs = 0;
  std::mutex lineMutex;  // one change of the line settings at a time

  ~Port() {
    if (fd >= 0) ::close(fd);
  }
};

TtyDriver::TtyDriver() = default;

TtyDriver::TtyDriver(std::string portPath) : portPath_(std::move(portPath)) {}

TtyDriver::~TtyDriver() {
  std::vector<FT_HANDLE> open;
  {
    std::lock_guard lock(mutex_);
    for (auto& [h, port] : ports_) open.push_back(h);
  }
  for (FT_HANDLE h : open) Close(h);
}

std::vector<TtyDriver::Listed> TtyDriver::ScanSysfs(const std::string& sysfsDir, const std::string& devDir) {
  std::vector<std::pair<std::string, Listed>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sysfsDir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ttyUSB", 0) != 0) continue;
    std::error_code rec;
    const fs::path real = fs::canonical(entry.path(), rec);
    if (rec) continue;
    // The USB device is a few levels up: .../1-1 (idVendor) / 1-1:1.0 (interface) / ttyUSB0.
    fs::path usb;
    fs::path p = real.parent_path();
    for (int depth = 0; depth < 8 && !p.empty() && p != p.root_path(); ++depth, p = p.parent_path()) {
      if (fs::exists(p / "idVendor", rec)) {
        usb = p;
        break;
      }
    }
    if (usb.empty()) continue;
    std::string vendor = ReadAttribute(usb / "idVendor");
    std::transform(vendor.begin(), vendor.end(), vendor.begin(), [](unsigned char c) { return std::tolower(c); });
    if (vendor != kFtdiVendor) continue;
    Listed listed;
    listed.path = (fs::path(devDir) / name).string();
    // A converter without a serial number in its memory lists with an empty one, as the vendor
    // library shows it.
    listed.serial = ReadAttribute(usb / "serial");
    listed.description = ReadAttribute(usb / "product");
    found.emplace_back(name, std::move(listed));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return TtyOrder(a.first, b.first); });
  std::vector<Listed> result;
  for (auto& f : found) result.push_back(std::move(f.second));
  return result;
}

FT_STATUS TtyDriver::ListCount(uint32_t& count) {
  std::vector<Listed> listed;
  if (!portPath_.empty()) {
    // The named device is listed while it exists; a vanished one (unplugged, or a closed
    // pseudo-terminal) is not, so that reopening fails until it is back.
    struct stat st {};
    if (::stat(portPath_.c_str(), &st) == 0) listed.push_back({portPath_, portPath_, kPortDescription});
  } else {
    listed = ScanSysfs(kSysfsDir, kDevDir);
  }
  std::lock_guard lock(mutex_);
  listed_ = std::move(listed);
  count = static_cast<uint32_t>(listed_.size());
  return FT_OK;
}

FT_STATUS TtyDriver::ListSerialNumber(uint32_t index, std::string& serial) {
  std::lock_guard lock(mutex_);
  if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
  serial = listed_[index].serial;
  return FT_OK;
}

FT_STATUS TtyDriver::ListDescription(uint32_t index, std::string& description) {
  std::lock_guard lock(mutex_);
  if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
  description = listed_[index].description;
  return FT_OK;
}

FT_STATUS TtyDriver::Open(uint32_t index, FT_HANDLE& handle) {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    if (index >= listed_.size()) return FT_DEVICE_NOT_FOUND;
    path = listed_[index].path;
  }
  auto port = std::make_shared<Port>();
  port->fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (port->fd < 0) {
    const int e = errno;
    // TIOCEXCL of another program refuses the open itself.
    if (e == EBUSY) return OpenFailed(FT_DEVICE_NOT_OPENED, InUseText(path));
    return OpenFailed((e == ENOENT || e == ENODEV || e == ENXIO) ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED,
                      support::SystemErrorText(e));
  }
  // Like the vendor library, one program at a time: a converter held by another is refused. The
  // lock also holds against root, whom TIOCEXCL lets through.
  if (::flock(port->fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    port.reset();  // our descriptor is no holder to name
    return OpenFailed(FT_DEVICE_NOT_OPENED, e == EWOULDBLOCK ? InUseText(path) : support::SystemErrorText(e));
  }
  ::ioctl(port->fd, TIOCEXCL);
  if (::tcgetattr(port->fd, &port->saved) != 0) return OpenFailed(FT_DEVICE_NOT_OPENED, "not a serial device");
  port->haveSaved = true;

  termios line = port->saved;
  ::cfmakeraw(&line);
  line.c_cflag |= CLOCAL | CREAD;
  line.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB | CSIZE);
  line.c_cflag |= CS8;
  line.c_iflag &= ~(IXON | IXOFF | IXANY);
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  ::cfsetispeed(&line, B19200);
  ::cfsetospeed(&line, B19200);
  if (::tcsetattr(port->fd, TCSANOW, &line) != 0)
    return OpenFailed(FT_DEVICE_NOT_OPENED, "cannot set the line: " + support::SystemErrorText(errno));

  // The kernel's FTDI driver holds received bytes up to 16 ms unless asked for low latency.
  serial_struct serial{};
  if (::ioctl(port->fd, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(port->fd, TIOCSSERIAL, &serial);
  }
  ::tcflush(port->fd, TCIOFLUSH);

  std::lock_guard lock(mutex_);
  handle = nextHandle_++;
  ports_[handle] = std::move(port);
  openProblem_.clear();
  return FT_OK;
}

FT_STATUS TtyDriver::OpenFailed(FT_STATUS status, std::string problem) {
  {
    std::lock_guard lock(mutex_);
    if (problem == openProblem_) return status;
    openProblem_ = problem;
  }
  if (auto told = OnOpenProblem) told(problem);
  return status;
}

std::string TtyDriver::OpenProblem() {
  std::lock_guard lock(mutex_);
  return openProblem_;
}

bool TtyDriver::HeldByAnotherProgram(std::string& holders) {
  const std::string problem = OpenProblem();
  if (problem.rfind(kInUse, 0) != 0) return false;
  const std::string rest = problem.substr(kInUse.size());
  holders = rest.rfind(": ", 0) == 0 ? rest.substr(2) : std::string();
  return true;
}

std::string TtyDriver::DeviceHolders(const std::string& path) {
  struct stat device {};
  if (::stat(path.c_str(), &device) != 0) return {};
  const std::string self = std::to_string(::getpid());
  std::vector<std::string> pids;
  // The lock table names the one process that holds the lock: "1: FLOCK  ADVISORY  WRITE 812
  // 00:1a:6 0 EOF", with the file system's device in hex and the inode. Waiters ("->") hold none.
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%llu", major(device.st_dev), minor(device.st_dev),
                static_cast<unsigned long long>(device.st_ino));
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    if (w.size() < 6 || w[1] == "->" || w[1] != "FLOCK" || w[5] != id || w[4] == self) continue;
    pids.push_back(w[4]);
  }
  // Without a lock (a program that only set TIOCEXCL), every process with the device open.
  if (pids.empty()) {
    std::error_code ec;
    for (const auto& process : fs::directory_iterator("/proc", ec)) {
      const std::string pid = process.path().filename().string();
      if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
      std::error_code fdError;
      for (const auto& file : fs::directory_iterator(process.path() / "fd", fdError)) {
        struct stat open {};
        if (::stat(file.path().c_str(), &open) == 0 && S_ISCHR(open.st_mode) && open.st_rdev == device.st_rdev) {
          pids.push_back(pid);
          break;
        }
      }
    }
  }
  std::string text;
  for (const std::string& pid : pids) {
    // The program's own name: /proc/PID/comm is cut at 15 characters.
    std::ifstream cmdline("/proc/" + pid + "/cmdline");
    std::string program;
    std::getline(cmdline, program, '\0');
    program = fs::path(program).filename().string();
    if (program.empty()) program = ReadAttribute(fs::path("/proc") / pid / "comm");
    if (!text.empty()) text += ", ";
    text += (program.empty() ? std::string("a program") : program) + " (pid " + pid + ")";
  }
  return text;
}

std::shared_ptr<TtyDriver::Port> TtyDriver::Find(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  auto it = ports_.find(handle);
  return it == ports_.end() ? nullptr : it->second;
}

template <typename Fn>
FT_STATUS TtyDriver::ChangeLine(FT_HANDLE handle, Fn fn) {
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  std::lock_guard lock(port->lineMutex);
  termios line{};
  if (::tcgetattr(port->fd, &line) != 0) return FT_IO_ERROR;
  const FT_STATUS status = fn(line);
  if (status != FT_OK) return status;
  return ::tcsetattr(port->fd, TCSANOW, &line) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS TtyDriver::SetBaudRate(FT_HANDLE handle, uint32_t baud) {
  speed_t speed;
  if (!BaudToSpeed(baud, speed)) return Find(handle) ? FT_INVALID_PARAMETER : FT_INVALID_HANDLE;
  return ChangeLine(handle, [&](termios& line) {
    ::cfsetispeed(&line, speed);
    ::cfsetospeed(&line, speed);
    return FT_OK;
  });
}

FT_STATUS TtyDriver::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) {
  return ChangeLine(handle, [&](termios& line) {
    if (wordLength != 7 && wordLength != 8) return FT_INVALID_PARAMETER;
    if (stopBits != FT_STOP_BITS_1 && stopBits != FT_STOP_BITS_2) return FT_INVALID_PARAMETER;
    if (parity > 4) return FT_INVALID_PARAMETER;
    line.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
    line.c_cflag |= wordLength == 7 ? CS7 : CS8;
    if (stopBits == FT_STOP_BITS_2) line.c_cflag |= CSTOPB;
    switch (parity) {
      case 1:
        line.c_cflag |= PARENB | PARODD;
        break;  // odd
      case 2:
        line.c_cflag |= PARENB;
        break;  // even
      case 3:
        line.c_cflag |= PARENB | CMSPAR | PARODD;
        break;  // mark
      case 4:
        line.c_cflag |= PARENB | CMSPAR;
        break;  // space
      default:
        break;
    }
    return FT_OK;
  });
}

FT_STATUS TtyDriver::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  return ChangeLine(handle, [&](termios& line) {
    line.c_cflag &= ~CRTSCTS;
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    switch (flow) {
      case FT_FLOW_NONE:
        return FT_OK;
      case FT_FLOW_RTS_CTS:
        line.c_cflag |= CRTSCTS;
        return FT_OK;
      case FT_FLOW_XON_XOFF:
        line.c_iflag |= IXON | IXOFF;
        line.c_cc[VSTART] = xon;
        line.c_cc[VSTOP] = xoff;
        return FT_OK;
      default:
        return FT_INVALID_PARAMETER;  // DTR/DSR has no termios form
    }
  });
}

FT_STATUS TtyDriver::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  std::lock_guard lock(port->lineMutex);
  port->readMs = readMs;
  port->writeMs = writeMs;
  return FT_OK;
}

namespace {

// Modem lines on a pseudo-terminal or an adapter without them: nothing to set, not an error.
FT_STATUS ModemLine(int fd, unsigned long request, int bits) {
  if (::ioctl(fd, request, &bits) == 0) return FT_OK;
  return (errno == ENOTTY || errno == EINVAL) ? FT_OK : FT_IO_ERROR;
}

}  // namespace

FT_STATUS TtyDriver::SetDtr(FT_HANDLE handle) {
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  return ModemLine(port->fd, TIOCMBIS, TIOCM_DTR);
}

FT_STATUS TtyDriver::ClrRts(FT_HANDLE handle) {
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  return ModemLine(port->fd, TIOCMBIC, TIOCM_RTS);
}

FT_STATUS TtyDriver::Purge(FT_HANDLE handle, uint32_t mask) {
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const bool rx = mask & FT_PURGE_RX, tx = mask & FT_PURGE_TX;
  if (!rx && !tx) return FT_OK;
  const int which = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
  return ::tcflush(port->fd, which) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS TtyDriver::GetQueueStatus(FT_HANDLE handle, uint32_t& rxBytes) {
  rxBytes = 0;
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (HungUp(port->fd)) return FT_IO_ERROR;
  int n = 0;
  if (::ioctl(port->fd, FIONREAD, &n) != 0 || n < 0) return FT_IO_ERROR;
  rxBytes = static_cast<uint32_t>(n);
  return FT_OK;
}

FT_STATUS TtyDriver::Read(FT_HANDLE handle, uint8_t* buffer, uint32_t count, uint32_t& got) {
  got = 0;
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (count > 0 && buffer == nullptr) return FT_INVALID_PARAMETER;
  uint32_t timeoutMs;
  {
    std::lock_guard lock(port->lineMutex);
    timeoutMs = port->readMs;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got < count) {
    const ssize_t n = ::read(port->fd, buffer + got, count - got);
    if (n > 0) {
      got += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return FT_IO_ERROR;
    // No data (EAGAIN), or 0 which a hung-up tty also gives.
    if (HungUp(port->fd)) return FT_IO_ERROR;
    const int left = MsLeft(deadline);
    if (left == 0) break;
    pollfd p{port->fd, POLLIN, 0};
    if (::poll(&p, 1, left) < 0 && errno != EINTR) return FT_IO_ERROR;
  }
  return FT_OK;
}

FT_STATUS TtyDriver::Write(FT_HANDLE handle, const uint8_t* data, uint32_t count, uint32_t& written) {
  written = 0;
  auto port = Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (count > 0 && data == nullptr) return FT_INVALID_PARAMETER;
  uint32_t timeoutMs;
  {
    std::lock_guard lock(port->lineMutex);
    timeoutMs = port->writeMs;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (written < count) {
    const ssize_t n = ::write(port->fd, data + written, count - written);
    if (n > 0) {
      written += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return FT_IO_ERROR;
    const int left = MsLeft(deadline);
    if (left == 0) break;
    pollfd p{port->fd, POLLOUT, 0};
    if (::poll(&p, 1, left) < 0 && errno != EINTR) return FT_IO_ERROR;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return FT_IO_ERROR;
  }
  return FT_OK;
}

FT_STATUS TtyDriver::Close(FT_HANDLE handle) {
  std::shared_ptr<Port> port;
  {
    std::lock_guard lock(mutex_);
    auto it = ports_.find(handle);
    if (it == ports_.end()) return FT_INVALID_HANDLE;
    port = std::move(it->second);
    ports_.erase(it);
  }
  {
    std::lock_guard lock(port->lineMutex);
    if (port->haveSaved) ::tcsetattr(port->fd, TCSANOW, &port->saved);  // fails harmlessly when gone
    ::ioctl(port->fd, TIOCNXCL);
    // Another program may take the device at once, even while a read of ours still ends.
    ::flock(port->fd, LOCK_UN);
  }
  // The descriptor closes with the last user of the port.
  return FT_OK;
}

}  // namespace fd::bus
