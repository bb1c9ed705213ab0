#include "md5.h"

#include <openssl/evp.h>

int md5Digest(const void* data, size_t size, unsigned char digest[kMd5DigestSize]) {
  unsigned int length = 0;
  if (EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) != 1 || length != kMd5DigestSize) return -1;
  return 0;
}
