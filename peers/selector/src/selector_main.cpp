// selector: the manufacturer's web selector on this machine.
//
//   selector [--port N] [--bind ADDRESS] [--accounts FILE] [--log FILE] FOLDER
//
// Serves under http://ADDRESS:PORT/selector/ (see sel_server.h). FOLDER holds temp/, where
// exports go, and the model files; when FOLDER has no model files, those beside the
// program are used. Prints "selector: listening at http://ADDRESS:PORT/selector/" on
// standard output once it accepts requests; stops cleanly on SIGTERM or SIGINT.
// Exit status: 0 stopped, 1 could not start, 2 wrong usage.
#include <httplib.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sel_export.h"
#include "sel_gate.h"
#include "sel_pages.h"
#include "sel_server.h"

namespace {

const int kDefaultPort = 8765;

SelGate* stopTarget = nullptr;

void stopOnSignal(int) {
  if (stopTarget) sel_gate_stop(*stopTarget);
}

struct Options {
  std::string folder;
  std::string bind = "127.0.0.1";
  int port = kDefaultPort;
  std::string accounts;
  std::string log;
};

// The library's server with its routes, pages and log; the gate hands it each request
// whole and writes its answer, so it never waits on a client.
class SelectorServer : public httplib::Server {
 public:
  bool answer(httplib::Stream& stream, bool last, bool& clientCloses) {
    return process_request(stream, last, clientCloses, nullptr);
  }
};

std::string gatePage(int status) {
  switch (status) {
    case 408:
      return sel_page_message("The request came too slowly",
                              "The selector takes a request that comes whole within a few seconds.");
    case 411:
      return sel_page_message("The request has no length", "The selector takes a body only with its Content-Length.");
    default:
      return sel_page_message("Too many connections",
                              "Your address has too many connections open to the selector. Please try again.");
  }
}

int usage() {
  std::fprintf(stderr,
               "usage: selector [--port N] [--bind ADDRESS] [--accounts FILE] [--log FILE] FOLDER\n"
               "  FOLDER          holds temp/ for the exported units and the model files (else those\n"
               "                  beside the program are served)\n"
               "  --port N        %d unless given; 0 takes any free port\n"
               "  --bind ADDRESS  127.0.0.1 unless given\n"
               "  --accounts FILE FOLDER/accounts.txt unless given: \"e-mail password\" lines\n"
               "  --log FILE      the access log, FOLDER/access.log unless given\n",
               kDefaultPort);
  return 2;
}

bool readOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool valued = a == "--port" || a == "--bind" || a == "--accounts" || a == "--log";
    if (valued && i + 1 >= argc) return false;
    if (a == "--port") {
      char* end = nullptr;
      long p = std::strtol(argv[++i], &end, 10);
      if (!*argv[i] || *end || p < 0 || p > 65535) return false;
      o.port = static_cast<int>(p);
    } else if (a == "--bind") {
      o.bind = argv[++i];
    } else if (a == "--accounts") {
      o.accounts = argv[++i];
    } else if (a == "--log") {
      o.log = argv[++i];
    } else if (a.empty() || a[0] == '-' || !o.folder.empty()) {
      return false;
    } else {
      o.folder = a;
    }
  }
  if (o.folder.empty()) return false;
  if (o.accounts.empty()) o.accounts = o.folder + "/accounts.txt";
  if (o.log.empty()) o.log = o.folder + "/access.log";
  return true;
}

std::string programFolder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string p(path, static_cast<size_t>(n));
  return p.substr(0, p.find_last_of('/'));
}

bool isFile(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// temp/ in the folder: made when missing; a symbolic link or a file there is refused.
bool prepareTemp(const std::string& folder, std::string& temp, std::string& error) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = folder + " is not a folder";
    return false;
  }
  temp = folder + "/" + kSelTempFolder;
  if (mkdir(temp.c_str(), 0755) != 0 && errno != EEXIST) {
    error = "cannot make " + temp + ": " + std::strerror(errno);
    return false;
  }
  if (lstat(temp.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = temp + " is not a folder of its own";
    return false;
  }
  return true;
}

bool prepare(const Options& o, SelState& state, std::string& error) {
  if (!prepareTemp(o.folder, state.tempFolder, error)) return false;
  std::string models = o.folder;
  if (!isFile(o.folder + "/" + kSelDictionaryFile) && !isFile(o.folder + "/" + kSelDatabaseFile))
    models = programFolder();
  std::vector<std::string> warnings;
  if (sel_read_catalog(models, state.catalogue, error, warnings) != 0) return false;
  for (const std::string& w : warnings) std::fprintf(stderr, "selector: %s\n", w.c_str());
  if (sel_read_accounts(o.accounts, state.accounts, error) != 0) return false;
  state.ticketSecret = sel_ticket_secret();
  if (state.ticketSecret.empty()) {
    error = "no random bytes for the login tickets";
    return false;
  }
  state.log = std::fopen(o.log.c_str(), "ae");
  if (!state.log) {
    error = "cannot open the access log " + o.log + ": " + std::strerror(errno);
    return false;
  }
  std::fprintf(stderr, "selector: %zu units and %zu duct components from %s\n", state.catalogue.units.size(),
               state.catalogue.components.size(), models.c_str());
  return true;
}

std::string hostPart(const std::string& bind, int port) {
  std::string host = bind == "0.0.0.0" || bind == "::" ? "127.0.0.1" : bind;
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return host + ":" + std::to_string(port);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!readOptions(argc, argv, options)) return usage();
  signal(SIGPIPE, SIG_IGN);

  SelState state;
  std::string error;
  if (!prepare(options, state, error)) {
    std::fprintf(stderr, "selector: %s\n", error.c_str());
    if (state.log) std::fclose(state.log);
    return 1;
  }
  SelGate gate;
  SelectorServer server;
  gate.limits.frame.maxBody = kSelMaxForm;
  server.set_keep_alive_timeout(gate.limits.idleSeconds);
  server.set_keep_alive_max_count(static_cast<size_t>(gate.limits.keepAliveRequests));
  sel_install_routes(server, state);
  gate.serve = [&server](httplib::Stream& stream, bool last, bool& clientCloses) {
    return server.answer(stream, last, clientCloses);
  };
  gate.page = gatePage;
  gate.log = [&state](const std::string& method, const std::string& path, int status) {
    sel_log_request(state, method, path, status);
  };

  int port = options.port;
  if (sel_gate_listen(gate, options.bind, port, error) != 0) {
    std::fprintf(stderr, "selector: %s\n", error.c_str());
    std::fclose(state.log);
    return 1;
  }
  state.fallbackHost = hostPart(options.bind, port);
  stopTarget = &gate;
  struct sigaction stop = {};
  stop.sa_handler = stopOnSignal;
  stop.sa_flags = SA_RESTART;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);
  std::printf("selector: listening at http://%s/selector/\n", state.fallbackHost.c_str());
  std::fflush(stdout);

  int rc = sel_gate_run(gate);
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  sigprocmask(SIG_BLOCK, &stops, nullptr);  // the gate's threads are gone: only this one takes them
  stopTarget = nullptr;
  sel_gate_close(gate);
  std::fclose(state.log);
  std::fprintf(stderr, rc == 0 ? "selector: stopped\n" : "selector: the listening socket failed\n");
  return rc == 0 ? 0 : 1;
}
