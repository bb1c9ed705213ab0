// The MD5 digest (RFC 1321) of a byte string, from the platform's own implementation:
// CryptoAPI on Windows (md5_win32.cpp), OpenSSL elsewhere (md5_posix.cpp).
#pragma once
#include <cstddef>

const size_t kMd5DigestSize = 16;

// 0 with the digest's 16 bytes in digest; -1 when the platform could not make it.
int md5Digest(const void* data, size_t size, unsigned char digest[kMd5DigestSize]);
