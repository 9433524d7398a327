#pragma once

#include <string>

namespace fd::tools {

// A pseudo-terminal standing in for a converter's serial device: the operator program opens the
// slave side (its path, or a stable symlink to it), the bench reads and writes the master side.
// The slave side is put in raw mode right away, so that no byte is echoed or changed by the line
// discipline before the program has set the line up itself.
class PtyPort {
 public:
  PtyPort() = default;
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  bool Open(std::string& error);
  // Closing the master is what a pulled USB plug looks like to the program: its side hangs up.
  void Close();
  bool IsOpen() const { return master_ >= 0; }
  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

  // Non-blocking; returns the bytes read (0 when none), -1 on failure.
  long Read(unsigned char* buffer, unsigned long size);
  // Writes what the slave side can take now; returns the bytes written, -1 on failure.
  long Write(const unsigned char* data, unsigned long size);

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so the master does not hang up between the program's opens
  std::string slavePath_;
};

// Points the symlink at linkPath to target, replacing an older symlink in one step. Refuses to
// replace anything that is not a symlink.
bool UpdateLink(const std::string& linkPath, const std::string& target, std::string& error);
// Removes the symlink at linkPath if it still points to target.
void RemoveLink(const std::string& linkPath, const std::string& target);

}  // namespace fd::tools
