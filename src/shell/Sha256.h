#pragma once
// SHA-256 of a byte stream fed in pieces (OpenSSL's libcrypto).

#include <memory>
#include <string>
#include <string_view>

namespace zorvik {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  // Starts over.
  void Reset();
  void Add(std::string_view bytes);
  // The digest of everything added, as 64 lower-case hexadecimal digits.
  std::string HexDigest();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zorvik
