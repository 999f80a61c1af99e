#include "support/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

TEST(Sha256Test, KnownDigests) {
  struct Case {
    std::string input;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Sha256::hex(c.input), c.digest) << c.input.size();
}

TEST(Sha256Test, PiecesGiveTheDigestOfTheWhole) {
  const std::string text(200, 'x');
  for (size_t cut : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 130u}) {
    Sha256 s;
    s.update(std::string_view(text).substr(0, cut));
    s.update(std::string_view(text).substr(cut));
    std::string hex;
    for (uint8_t b : s.finish()) {
      static const char* d = "0123456789abcdef";
      hex += d[b >> 4];
      hex += d[b & 15];
    }
    EXPECT_EQ(hex, Sha256::hex(text)) << cut;
  }
}

// Hashes as PHP's crypt() gives them (rounds always written).
TEST(Sha256CryptTest, KnownHashes) {
  struct Case {
    const char* password;
    const char* salt;
    uint32_t rounds;
    const char* hash;
  } cases[] = {
      {"Hello world!", "saltstring", 5000, "$5$rounds=5000$saltstring$5B8vYYiY.CVt1RlTTf8KbXBH3hsxY/GNooZaBBGWEc5"},
      {"Hello world!", "saltstringsaltstring", 10000,
       "$5$rounds=10000$saltstringsaltst$3xv.VbSHBb41AL9AvLeujZkZRBAwqFMz2.opqey6IcA"},
      {"This is just a test", "toolongsaltstring", 5000,
       "$5$rounds=5000$toolongsaltstrin$Un/5jzAHMgOGZ5.mWJpuVolil07guHPvOW8mGRcvxa5"},
      {"a very much longer text to encrypt.  This one even stretches over morethan one line.", "anotherlongsaltstring",
       1400, "$5$rounds=1400$anotherlongsalts$Rx.j8H.h8HjEDGomFU8bDkXm3XIUnzyxf12oP84Bnq1"},
      {"we have a short salt string but not a short password", "short", 77777,
       "$5$rounds=77777$short$JiO1O3ZpDAxGJeaDIuqCoEFysAe1mZNJRs3pw0KQRd/"},
      {"a short string", "asaltof16chars..", 123456,
       "$5$rounds=123456$asaltof16chars..$gP3VQ/6X7UUEW3HkBn2w1/Ptq2jxPyzV/cZKmF/wJvD"},
      {"the minimum number is still observed", "roundstoolow", 10,
       "$5$rounds=1000$roundstoolow$yfvwcWrQ8l/K0DAWyuPMDNHpIVlTQebY9l/gL972bIC"},
  };
  for (const Case& c : cases) EXPECT_EQ(sha256Crypt(c.password, c.salt, c.rounds), c.hash) << c.password;
}

TEST(Sha256CryptTest, RandomSaltsUseTheCryptAlphabet) {
  const std::string a = randomCryptSalt(16);
  EXPECT_EQ(a.size(), 16u);
  EXPECT_EQ(a.find_first_not_of("./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
            std::string::npos);
  EXPECT_NE(a, randomCryptSalt(16));
}

}  // namespace
}  // namespace tw
