#include "support/sha256.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace tw {

namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr const char* kCryptAlphabet = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

std::string_view asText(const std::array<uint8_t, 32>& d) {
  return {reinterpret_cast<const char*>(d.data()), d.size()};
}

}  // namespace

Sha256::Sha256()
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::block(const uint8_t* p) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i)
    w[i] = (uint32_t(p[4 * i]) << 24) | (uint32_t(p[4 * i + 1]) << 16) | (uint32_t(p[4 * i + 2]) << 8) |
           uint32_t(p[4 * i + 3]);
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
  h_[5] += f;
  h_[6] += g;
  h_[7] += h;
}

void Sha256::update(std::string_view bytes) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t n = bytes.size();
  length_ += n;
  if (used_) {
    const size_t take = std::min(n, sizeof buffer_ - used_);
    std::memcpy(buffer_ + used_, p, take);
    used_ += take;
    p += take;
    n -= take;
    if (used_ < sizeof buffer_) return;
    block(buffer_);
    used_ = 0;
  }
  for (; n >= 64; p += 64, n -= 64) block(p);
  std::memcpy(buffer_, p, n);
  used_ = n;
}

std::array<uint8_t, 32> Sha256::finish() {
  const uint64_t bits = length_ * 8;
  const uint8_t one = 0x80;
  update({reinterpret_cast<const char*>(&one), 1});
  const uint8_t zero = 0;
  while (used_ != 56) update({reinterpret_cast<const char*>(&zero), 1});
  uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = uint8_t(bits >> (56 - 8 * i));
  update({reinterpret_cast<const char*>(tail), 8});
  std::array<uint8_t, 32> out{};
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = uint8_t(h_[i] >> (24 - 8 * j));
  return out;
}

std::string Sha256::hex(std::string_view bytes) {
  Sha256 s;
  s.update(bytes);
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : s.finish()) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string sha256Crypt(std::string_view password, std::string_view salt, uint32_t rounds) {
  rounds = std::clamp<uint32_t>(rounds, 1000, 999999999);
  salt = salt.substr(0, 16);
  const size_t plen = password.size();

  Sha256 bctx;
  bctx.update(password);
  bctx.update(salt);
  bctx.update(password);
  const auto b = bctx.finish();

  Sha256 actx;
  actx.update(password);
  actx.update(salt);
  size_t n = plen;
  for (; n > 32; n -= 32) actx.update(asText(b));
  actx.update(asText(b).substr(0, n));
  for (size_t bit = plen; bit > 0; bit >>= 1) actx.update((bit & 1) ? asText(b) : password);
  const auto a = actx.finish();

  Sha256 pctx;
  for (size_t i = 0; i < plen; ++i) pctx.update(password);
  const auto dp = pctx.finish();
  std::string pseq;
  for (n = plen; n > 32; n -= 32) pseq += asText(dp);
  pseq += asText(dp).substr(0, n);

  Sha256 sctx;
  for (size_t i = 0; i < 16u + a[0]; ++i) sctx.update(salt);
  const auto ds = sctx.finish();
  const std::string sseq(asText(ds).substr(0, salt.size()));

  std::array<uint8_t, 32> c = a;
  for (uint32_t i = 0; i < rounds; ++i) {
    Sha256 r;
    if (i & 1)
      r.update(pseq);
    else
      r.update(asText(c));
    if (i % 3) r.update(sseq);
    if (i % 7) r.update(pseq);
    if (i & 1)
      r.update(asText(c));
    else
      r.update(pseq);
    c = r.finish();
  }

  std::string out = "$5$rounds=" + std::to_string(rounds) + "$" + std::string(salt) + "$";
  auto put = [&](uint8_t b2, uint8_t b1, uint8_t b0, int count) {
    uint32_t w = (uint32_t(b2) << 16) | (uint32_t(b1) << 8) | b0;
    for (int k = 0; k < count; ++k, w >>= 6) out += kCryptAlphabet[w & 0x3f];
  };
  static constexpr int order[10][3] = {{0, 10, 20}, {21, 1, 11}, {12, 22, 2}, {3, 13, 23}, {24, 4, 14},
                                       {15, 25, 5}, {6, 16, 26}, {27, 7, 17}, {18, 28, 8}, {9, 19, 29}};
  for (const auto& o : order) put(c[o[0]], c[o[1]], c[o[2]], 4);
  put(0, c[31], c[30], 3);
  return out;
}

std::string randomCryptSalt(size_t length) {
  std::random_device device;
  std::string out;
  for (size_t i = 0; i < length; ++i) out += kCryptAlphabet[device() % 64];
  return out;
}

}  // namespace tw
