#include "cli/sha256.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvane::cli {

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t LoadBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
             0x5be0cd19} {}

void Sha256::Block(const uint8_t* block) {
  std::array<uint32_t, 64> w;
  for (size_t i = 0; i < 16; ++i) w[i] = LoadBe32(block + 4 * i);
  for (size_t i = 16; i < 64; ++i) {
    const uint32_t s0 = std::rotr(w[i - 15], 7) ^ std::rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = std::rotr(w[i - 2], 17) ^ std::rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (size_t i = 0; i < 64; ++i) {
    const uint32_t t1 = h + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) +
                        ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const uint32_t t2 = (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) +
                        ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
  state_[5] += f;
  state_[6] += g;
  state_[7] += h;
}

void Sha256::Update(std::span<const uint8_t> bytes) {
  total_bytes_ += bytes.size();
  size_t at = 0;
  if (pending_size_ > 0) {
    const size_t take = std::min(bytes.size(), pending_.size() - pending_size_);
    std::memcpy(pending_.data() + pending_size_, bytes.data(), take);
    pending_size_ += take;
    at = take;
    if (pending_size_ < pending_.size()) return;
    Block(pending_.data());
    pending_size_ = 0;
  }
  for (; bytes.size() - at >= 64; at += 64) Block(bytes.data() + at);
  std::memcpy(pending_.data(), bytes.data() + at, bytes.size() - at);
  pending_size_ = bytes.size() - at;
}

std::string Sha256::HexDigest() {
  // The message, a 1 bit, zeros up to 56 bytes of a block, then its length
  // in bits as a big-endian 64-bit number.
  const uint64_t bits = total_bytes_ * 8;
  uint8_t tail[72] = {0x80};
  const size_t zeros = (pending_size_ < 56 ? 56 : 120) - pending_size_;
  for (int k = 0; k < 8; ++k) tail[zeros + k] = static_cast<uint8_t>(bits >> (56 - 8 * k));
  Update(std::span<const uint8_t>(tail, zeros + 8));
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const uint32_t word : state_)
    for (int shift = 28; shift >= 0; shift -= 4) hex.push_back(kDigits[(word >> shift) & 0xF]);
  return hex;
}

#ifdef _WIN32
std::optional<std::string> Sha256OfFile(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             std::fclose);
  if (!file) return std::nullopt;
  Sha256 sha;
  // One buffer for all the files a run hashes.
  static std::vector<uint8_t> buffer(1 << 18);
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
    sha.Update(std::span<const uint8_t>(buffer.data(), got));
  if (std::ferror(file.get())) return std::nullopt;
  return sha.HexDigest();
}
#else
std::optional<std::string> Sha256OfFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  // Reading moves the access time, which the file was given from its
  // entry: it is put back afterwards.
  struct stat before {};
  const bool dated = ::fstat(fd, &before) == 0;
  Sha256 sha;
  static std::vector<uint8_t> buffer(1 << 18);
  bool failed = false;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      failed = got < 0;
      break;
    }
    sha.Update(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)));
  }
  if (dated) {
    const timespec times[2] = {before.st_atim, {0, UTIME_OMIT}};
    ::futimens(fd, times);
  }
  ::close(fd);
  if (failed) return std::nullopt;
  return sha.HexDigest();
}
#endif

}  // namespace quorvane::cli
