// The selector's HTTP service under /selector/:
//   GET  login/Ductora.jsp?lang=...&plugVers=...  the start page the CAD program opens
//   POST login/Ductora.jsp                        the login form, or back to the selection
//   POST export                                   exports the chosen unit
//   GET  temp/<32 hexadecimal digits>.XML         an exported unit file
//   GET  Duratcd.ddtz, Ventholm_14a.tcdz          the model dictionary and the model database
// Nothing else is served: no path reaches a file other than these.
#pragma once
#include <cstdio>
#include <mutex>
#include <string>

#include "sel_catalog.h"
#include "sel_login.h"

namespace httplib {
class Server;
}

const size_t kSelMaxExportFile = 1u << 20;  // bytes of an exported unit file served
const size_t kSelMaxForm = 16u << 10;       // bytes of a posted form

struct SelState {
  SelCatalog catalogue;
  SelAccounts accounts;
  std::string ticketSecret;
  std::string tempFolder;  // where exports are stored
  std::string fallbackHost;  // "127.0.0.1:8765": the server's own address for its links
  std::FILE* log = nullptr;  // the access log, one line a request
  std::mutex logLock;
};

// Installs the routes, the error pages, the headers and the access log on server.
void sel_install_routes(httplib::Server& server, SelState& state);

// Writes one line to the access log (the gate logs the requests it refuses itself).
void sel_log_request(SelState& state, const std::string& method, const std::string& path, int status);

// One access log line: UTC time, method, path and status, the path's unusual bytes
// written as %XX so that a line is always one line.
std::string sel_log_line(const std::string& method, const std::string& path, int status);
