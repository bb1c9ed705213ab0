#include "md5.h"

#include <windows.h>
#include <wincrypt.h>

int md5Digest(const void* data, size_t size, unsigned char digest[kMd5DigestSize]) {
  if (size > MAXDWORD) return -1;
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
    return -1;
  HCRYPTHASH hash = 0;
  DWORD length = kMd5DigestSize;
  const bool ok = CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
                  CryptHashData(hash, static_cast<const BYTE*>(data), static_cast<DWORD>(size), 0) &&
                  CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0) && length == kMd5DigestSize;
  if (hash) CryptDestroyHash(hash);
  CryptReleaseContext(provider, 0);
  return ok ? 0 : -1;
}
