#include "sel_server.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <map>

#include "sel_demand.h"
#include "sel_export.h"
#include "sel_pages.h"
#include "sel_select.h"

namespace {

const char kHtml[] = "text/html; charset=utf-8";
const size_t kMaxHostHeader = 255;

using Params = std::map<std::string, std::string>;

// The first value of each key of the address and the posted form, as a servlet gives it.
Params firstValues(const httplib::Request& req) {
  Params out;
  for (const auto& p : req.params) out.emplace(p.first, p.second);
  return out;
}

SelParam lookup(const Params& params) {
  return [&params](const char* key) -> const std::string* {
    auto it = params.find(key);
    return it == params.end() ? nullptr : &it->second;
  };
}

// The address the client reached the server by: its Host header when that is a plain host
// and port, else the server's own.
std::string rootUrl(const httplib::Request& req, const SelState& state) {
  std::string host = req.get_header_value("Host");
  bool plain = !host.empty() && host.size() <= kMaxHostHeader;
  for (char c : host)
    plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '[' ||
                      c == ']');
  return "http://" + (plain ? host : state.fallbackHost) + kSelRoot;
}

void answer(httplib::Response& res, int status, const std::string& html) {
  res.status = status;
  res.set_content(html, kHtml);
}

void startPage(const httplib::Request& req, httplib::Response& res, const SelState& state) {
  Params params = firstValues(req);
  SelDemand demand;
  std::string error;
  if (sel_read_demand(lookup(params), demand, error) != 0)
    return answer(res, 400, sel_page_message("The selection cannot start", error));
  auto ticket = params.find("ticket");
  auto password = params.find("passw");
  std::string message;
  bool in = false;
  if (ticket != params.end()) {
    in = sel_check_ticket(state.ticketSecret, demand.email, demand.selectionId, ticket->second);
    message = "Your login has ended. Please log in again.";
  } else if (password != params.end() || !demand.email.empty()) {
    in = sel_check_login(state.accounts, demand.email, demand.password);
    message = "The e-mail address or the password is wrong.";
  }
  if (!in) return answer(res, 200, sel_page_login(demand, message));
  std::vector<SelChoice> choices = sel_select(state.catalogue, demand);
  answer(res, 200, sel_page_selection(demand, choices, state.catalogue,
                                      sel_ticket(state.ticketSecret, demand.email, demand.selectionId)));
}

void exportUnit(const httplib::Request& req, httplib::Response& res, const SelState& state) {
  Params params = firstValues(req);
  SelDemand demand;
  std::string error;
  if (sel_read_demand(lookup(params), demand, error) != 0)
    return answer(res, 400, sel_page_message("The unit cannot be exported", error));
  auto ticket = params.find("ticket");
  if (ticket == params.end() || !sel_check_ticket(state.ticketSecret, demand.email, demand.selectionId, ticket->second))
    return answer(res, 403, sel_page_login(demand, "Your login has ended. Please log in again."));
  auto unit = params.find("unit");
  if (unit == params.end() || unit->second.empty())
    return answer(res, 400, sel_page_message("The unit cannot be exported", "Please choose a unit to export."));
  std::vector<SelChoice> choices = sel_select(state.catalogue, demand);
  const SelChoice* chosen = nullptr;
  for (const SelChoice& c : choices)
    if (c.unit->id == unit->second) chosen = &c;
  if (!chosen)
    return answer(res, 400, sel_page_message("The unit cannot be exported",
                                             "The catalogue has no unit " + unit->second + "."));
  if (!chosen->serves) {
    std::string why;
    for (const std::string& r : chosen->reasons) why += (why.empty() ? "" : "; ") + r;
    return answer(res, 409, sel_page_message("The unit cannot be exported",
                                             unit->second + " cannot serve this demand: " + why + "."));
  }
  std::string root = rootUrl(req, state);
  std::string xml = sel_unit_xml(*chosen, demand, root + kSelDatabaseFile);
  if (sel_store_export(state.tempFolder, demand.selectionId, xml, error) != 0)
    return answer(res, 500, sel_page_message("The unit cannot be exported", "The selector could not store it: " + error));
  std::string fileUrl = root + kSelTempFolder + "/" + demand.selectionId + ".XML";
  answer(res, 200, sel_page_exported(demand, *chosen, fileUrl,
                                     sel_ticket(state.ticketSecret, demand.email, demand.selectionId)));
}

void exportedFile(const httplib::Request& req, httplib::Response& res, const SelState& state) {
  const std::string name = req.matches[1];
  const std::string suffix = ".XML";
  bool wellFormed = name.size() == kSelSelectionIdLength + suffix.size() &&
                    name.compare(kSelSelectionIdLength, suffix.size(), suffix) == 0 &&
                    sel_is_selection_id(name.substr(0, kSelSelectionIdLength));
  if (!wellFormed)
    return answer(res, 400, sel_page_message("Not a selection", "Exported units are named by a selection id of 32 "
                                                                "hexadecimal digits and \".XML\"."));
  std::string data;
  int rc = sel_read_regular_file(state.tempFolder + "/" + name, kSelMaxExportFile, data);
  if (rc != 0)
    return answer(res, 404, sel_page_message("Nothing exported", "No unit was exported for this selection."));
  res.set_content(data, "application/xml; charset=utf-8");
}

void message(httplib::Response& res, int status, const std::string& heading, const std::string& text) {
  answer(res, status, sel_page_message(heading, text));
}

// A route pattern matching exactly the path given.
std::string literal(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (std::string(".^$|()[]{}*+?\\").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string sel_log_line(const std::string& method, const std::string& path, int status) {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  long millis = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  auto safe = [](const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
      if (c > 0x20 && c < 0x7f && c != '%') {
        out += static_cast<char>(c);
      } else {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
    }
    return out.empty() ? std::string("-") : out;
  };
  return std::string(stamp) + " " + safe(method) + " " + safe(path) + " " + std::to_string(status) + "\n";
}

void sel_log_request(SelState& state, const std::string& method, const std::string& path, int status) {
  std::string line = sel_log_line(method, path, status);
  std::lock_guard<std::mutex> hold(state.logLock);
  if (state.log) {
    std::fputs(line.c_str(), state.log);
    std::fflush(state.log);
  }
}

void sel_install_routes(httplib::Server& server, SelState& state) {
  const SelState& s = state;
  server.Get(literal(kSelStartPage), [&s](const httplib::Request& req, httplib::Response& res) { startPage(req, res, s); });
  server.Post(literal(kSelStartPage), [&s](const httplib::Request& req, httplib::Response& res) { startPage(req, res, s); });
  server.Post(literal(kSelExportPage), [&s](const httplib::Request& req, httplib::Response& res) { exportUnit(req, res, s); });
  server.Get(literal(std::string(kSelRoot) + kSelTempFolder + "/") + "([\\s\\S]*)",
             [&s](const httplib::Request& req, httplib::Response& res) { exportedFile(req, res, s); });
  server.Get(literal(std::string(kSelRoot) + kSelDictionaryFile), [&s](const httplib::Request&, httplib::Response& res) {
    res.set_content(s.catalogue.dictionaryFile, "application/octet-stream");
  });
  server.Get(literal(std::string(kSelRoot) + kSelDatabaseFile), [&s](const httplib::Request&, httplib::Response& res) {
    res.set_content(s.catalogue.databaseFile, "application/octet-stream");
  });
  server.Get("/selector/?", [](const httplib::Request&, httplib::Response& res) {
    message(res, 200, "Ventholm unit selection", "Start a selection from the CAD program with the command Zephyr.");
  });
  server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    message(res, res.status, "Not available", "The selector has no such page, or could not read the request.");
    return httplib::Server::HandlerResponse::Handled;
  }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    message(res, 500, "Selector failure", "The selector could not answer this request.");
  });
  server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"Cache-Control", "no-store"},
                              {"Referrer-Policy", "no-referrer"},
                              {"Content-Security-Policy",
                               "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; "
                               "form-action 'self'; base-uri 'none'; frame-ancestors 'none'"}});
  server.set_payload_max_length(kSelMaxForm);
  server.set_logger([&state](const httplib::Request& req, const httplib::Response& res) {
    sel_log_request(state, req.method, req.path, res.status);
  });
}
