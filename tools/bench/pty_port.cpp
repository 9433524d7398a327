#include "pty_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fd::tools {

PtyPort::~PtyPort() { Close(); }

bool PtyPort::Open(std::string& error) {
  Close();
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char name[128];
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
    error = std::string("cannot unlock the pseudo-terminal: ") + std::strerror(errno);
    ::close(master);
    return false;
  }
  const int slave = ::open(name, O_RDWR | O_NOCTTY);
  if (slave < 0) {
    error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    ::close(master);
    return false;
  }
  termios t{};
  if (::tcgetattr(slave, &t) == 0) {
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B19200);
    ::cfsetospeed(&t, B19200);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(slave, TCSANOW, &t);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  master_ = master;
  slave_ = slave;
  slavePath_ = name;
  return true;
}

void PtyPort::Close() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
}

long PtyPort::Read(unsigned char* buffer, unsigned long size) {
  if (master_ < 0) return -1;
  const ssize_t n = ::read(master_, buffer, size);
  if (n >= 0) return n;
  return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

long PtyPort::Write(const unsigned char* data, unsigned long size) {
  if (master_ < 0) return -1;
  unsigned long done = 0;
  while (done < size) {
    const ssize_t n = ::write(master_, data + done, size - done);
    if (n > 0) {
      done += static_cast<unsigned long>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return -1;
    break;  // the slave's input is full: what does not fit is lost, as on a bus nobody listens to
  }
  return static_cast<long>(done);
}

bool UpdateLink(const std::string& linkPath, const std::string& target, std::string& error) {
  struct stat st {};
  if (::lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    error = linkPath + " exists and is not a symlink; not replacing it";
    return false;
  }
  const std::string temporary = linkPath + ".new" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    error = "cannot create the link " + linkPath + ": " + std::strerror(errno);
    return false;
  }
  if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
    error = "cannot create the link " + linkPath + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

void RemoveLink(const std::string& linkPath, const std::string& target) {
  char buffer[4096];
  const ssize_t n = ::readlink(linkPath.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) return;
  buffer[n] = '\0';
  if (target == buffer) ::unlink(linkPath.c_str());
}

}  // namespace fd::tools
