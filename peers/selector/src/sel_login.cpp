#include "sel_login.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cctype>

#include "sel_catalog.h"

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int sel_read_accounts(const std::string& path, SelAccounts& out, std::string& error) {
  std::string text;
  int rc = sel_read_regular_file(path, kSelMaxAccountFile, text);
  if (rc != 0) {
    error = "the account file " + path + (rc == -3 ? " is too large" : " cannot be read");
    return -1;
  }
  SelAccounts accounts;
  size_t pos = 0;
  for (int line = 1; pos < text.size(); ++line) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string l = text.substr(pos, end - pos);
    pos = end + 1;
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (l.empty() || l[0] == '#') continue;
    size_t gap = l.find_first_of(" \t");
    size_t password = gap == std::string::npos ? gap : l.find_first_not_of(" \t", gap);
    if (gap == 0 || password == std::string::npos) {
      error = path + ":" + std::to_string(line) + ": expected an e-mail address, blanks and a password";
      return -1;
    }
    accounts.entries.emplace_back(l.substr(0, gap), l.substr(password));
  }
  out = accounts;
  return 0;
}

bool sel_check_login(const SelAccounts& accounts, const std::string& email, const std::string& password) {
  if (email.empty()) return false;
  for (const auto& a : accounts.entries)
    if (lower(a.first) == lower(email) && a.second.size() == password.size() &&
        CRYPTO_memcmp(a.second.data(), password.data(), password.size()) == 0)
      return true;
  return false;
}

std::string sel_ticket_secret() {
  std::string secret(kSelTicketSecretSize, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(&secret[0]), static_cast<int>(secret.size())) != 1) return "";
  return secret;
}

std::string sel_ticket(const std::string& secret, const std::string& email, const std::string& selectionId) {
  std::string message = lower(email) + '\n' + selectionId;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (secret.empty() || !HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
                              reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &size))
    return "";
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < size; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

bool sel_check_ticket(const std::string& secret, const std::string& email, const std::string& selectionId,
                      const std::string& ticket) {
  std::string expected = sel_ticket(secret, email, selectionId);
  return !expected.empty() && ticket.size() == expected.size() &&
         CRYPTO_memcmp(expected.data(), ticket.data(), ticket.size()) == 0;
}
