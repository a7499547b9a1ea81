#include "shell/Sha256.h"

#include <openssl/evp.h>

namespace zorvik {

struct Sha256::Impl {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  ~Impl() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : impl_(std::make_unique<Impl>()) { Reset(); }

Sha256::~Sha256() = default;

void Sha256::Reset() { EVP_DigestInit_ex(impl_->ctx, EVP_sha256(), nullptr); }

void Sha256::Add(std::string_view bytes) {
  if (!bytes.empty()) EVP_DigestUpdate(impl_->ctx, bytes.data(), bytes.size());
}

std::string Sha256::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(impl_->ctx, digest, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  Reset();
  return out;
}

}  // namespace zorvik
