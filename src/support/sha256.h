#pragma once
// SHA-256 (FIPS 180-4) and the SHA-256 based crypt() password hash
// ("$5$rounds=N$salt$hash") that PHP's password_verify() checks.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

class Sha256 {
 public:
  Sha256();
  void update(std::string_view bytes);
  std::array<uint8_t, 32> finish();

  // The digest of `bytes` as 64 lower-case hexadecimal digits.
  static std::string hex(std::string_view bytes);

 private:
  void block(const uint8_t* p);
  uint32_t h_[8];
  uint8_t buffer_[64];
  size_t used_ = 0;
  uint64_t length_ = 0;
};

// crypt() with the "$5$" method: `salt` is up to 16 characters of the crypt
// alphabet ([./0-9A-Za-z]); `rounds` is kept between 1000 and 999999999.
std::string sha256Crypt(std::string_view password, std::string_view salt, uint32_t rounds);

// A salt of `length` random characters of the crypt alphabet, from the
// system's random source.
std::string randomCryptSalt(size_t length);

}  // namespace tw
