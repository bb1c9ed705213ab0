// Logins: the selector's account file, and the ticket its pages carry once a user has
// logged in for a selection.
//
// The account file is UTF-8 text, one account a line: the e-mail address, blanks, and the
// password up to the end of the line (it may hold blanks, "&" and "="). Empty lines and
// lines starting with "#" are skipped. E-mail addresses match without regard to letter
// case, passwords exactly.
#pragma once
#include <string>
#include <utility>
#include <vector>

const size_t kSelMaxAccountFile = 1u << 20;  // bytes
const size_t kSelTicketSecretSize = 32;      // bytes

struct SelAccounts {
  std::vector<std::pair<std::string, std::string>> entries;  // e-mail address, password
};

// 0 read; -1 with error (missing, unreadable, too large, a line without a password).
int sel_read_accounts(const std::string& path, SelAccounts& out, std::string& error);

bool sel_check_login(const SelAccounts& accounts, const std::string& email, const std::string& password);

// A fresh random secret for the tickets of this run of the selector; empty when the
// system gives no random bytes.
std::string sel_ticket_secret();

// The ticket of a login for one selection: a keyed digest of the e-mail address and the
// selection id, as 64 hexadecimal digits. Tickets end with the run that made them.
std::string sel_ticket(const std::string& secret, const std::string& email, const std::string& selectionId);
bool sel_check_ticket(const std::string& secret, const std::string& email, const std::string& selectionId,
                      const std::string& ticket);
