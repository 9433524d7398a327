#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fd::support {

// SHA-256 (FIPS 180-4), fed in pieces. The journal names the scenario and the soundtrack a show
// ran with by their digests, so a record can be matched to the very file that played.
class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  // The digest as 64 lower-case hexadecimal digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const uint8_t* block);

  uint32_t state_[8];
  uint8_t buffer_[64];
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes fed so far
};

std::string Sha256Hex(const std::string& bytes);
// The digest of a file's contents; empty when it cannot be read.
std::string FileSha256Hex(const std::string& path);

}  // namespace fd::support
