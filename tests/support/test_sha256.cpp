// SHA-256 against the standard's own examples, fed whole and in uneven pieces.
#include <gtest/gtest.h>

#include <string>

#include "support/sha256.h"
#include "support/temp_dir.h"

namespace fd::support {
namespace {

struct Vector {
  std::string message;
  const char* digest;
};

TEST(Sha256, StandardTestVectors) {
  const Vector vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopq"
       "rstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Vector& v : vectors) {
    EXPECT_EQ(Sha256Hex(v.message), v.digest) << v.message.size() << " bytes";
    Sha256 pieces;
    for (size_t at = 0, step = 1; at < v.message.size(); at += step, step = step % 97 + 13)
      pieces.Update(v.message.data() + at, std::min(step, v.message.size() - at));
    EXPECT_EQ(pieces.HexDigest(), v.digest) << v.message.size() << " bytes in pieces";
  }
  testing::TempDir dir;
  testing::WriteBytes(dir / "abc", "abc");
  EXPECT_EQ(FileSha256Hex(dir / "abc"), vectors[1].digest);
  EXPECT_EQ(FileSha256Hex(dir / "missing"), "");
}

}  // namespace
}  // namespace fd::support
