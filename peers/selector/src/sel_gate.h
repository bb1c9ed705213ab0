// The selector's connections. One thread accepts them and reads every request whole,
// within a bound on the time the whole request takes, before a worker answers it; so a
// client that sends slowly, or not at all, costs a small buffer and never a worker, and
// well-formed requests are answered while any number of such clients are connected.
//
// Bounds, each in SelGateLimits:
// - a connection that sends nothing for idleSeconds (before a request or between two) is
//   closed; a request not whole within requestSeconds of its first byte is answered 408;
// - a head over maxHead, a body over maxBody: the library refuses them (400, 413);
// - one client address holds at most perClient connections (more are answered 503) and
//   at most half the workers at once; all clients together at most maxConnections (more
//   wait in the listening queue);
// - an answer is written within writeSeconds, or the connection is cut.
// A connection that ends while the client may still be sending is read to its end (for at
// most lingerMs and lingerBytes) before it is closed, so the client reads the answer
// instead of a reset.
//
// Stopping (sel_gate_stop) closes every connection, waits for the workers (an answer being
// written is cut) and returns within a fraction of a second.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sel_framing.h"

namespace httplib {
class Stream;
}

struct SelGateLimits {
  int workers = 8;
  int maxConnections = 1000;  // lowered to what the process may open
  int perClient = 32;
  SelFrameLimits frame;
  int idleSeconds = 5;
  int requestSeconds = 10;
  int writeSeconds = 10;
  int lingerMs = 2000;
  size_t lingerBytes = 256u << 10;
  int keepAliveRequests = 20;  // requests on one connection
};

// Answers the request that stream reads, writing the answer to it; lastOnConnection asks
// the answer to say the connection closes. Sets clientCloses when the request asked to close
// it. Returns false when the request could not be answered (the connection then closes).
using SelGateServe = std::function<bool(httplib::Stream& stream, bool lastOnConnection, bool& clientCloses)>;
// The page of an answer the gate gives itself (408, 411, 503), and the log of one it gave
// to a request (method and path may be empty when the request line never came whole).
using SelGatePage = std::function<std::string(int status)>;
using SelGateLog = std::function<void(const std::string& method, const std::string& path, int status)>;

enum class SelPhase { Reading, Answering, Lingering };

// One client connection. The reading thread owns it; a worker uses it only between taking
// its request from SelGate::ready and putting it on SelGate::done.
struct SelConnection {
  int fd = -1;
  std::string client;  // the peer's address without its port
  std::string peerIp, localIp;
  int peerPort = 0, localPort = 0;
  SelPhase phase = SelPhase::Reading;
  std::string in;         // received and not yet answered
  size_t dropped = 0;     // received while lingering
  std::chrono::steady_clock::time_point since;    // the wait for a request (or the lingering) began
  std::chrono::steady_clock::time_point started;  // the first byte of the current request came
  bool startedRequest = false;
  bool ended = false;  // the client sends no more
  SelFrame frame;      // of the request being answered
  int answered = 0;
  bool closeAfter = false;
};

struct SelGate {
  SelGateLimits limits;
  SelGateServe serve;
  SelGatePage page;
  SelGateLog log;

  // The rest is the gate's own.
  int listenFd = -1;
  int wake[2] = {-1, -1};  // a pipe that wakes the reading thread
  std::atomic<bool> stopping{false};
  std::mutex lock;  // guards the four below
  std::condition_variable work;
  std::deque<SelConnection*> ready;  // whole requests waiting for a worker, oldest first
  std::vector<SelConnection*> done;  // answered, back to the reading thread
  std::vector<SelConnection*> serving;
  std::map<std::string, int> busy;  // workers held per client address
  std::vector<std::thread> workers;
  std::map<int, std::unique_ptr<SelConnection>> open;  // every connection, by descriptor
  std::map<std::string, int> perClient;                // open connections per client address
};

// Binds the listening socket to address and port (0: any free port, set on return).
// 0 done; -1 with error.
int sel_gate_listen(SelGate& gate, const std::string& address, int& port, std::string& error);

// Serves until sel_gate_stop. 0 stopped; -1 when the listening socket failed.
int sel_gate_run(SelGate& gate);

// Asks sel_gate_run to stop; safe in a signal handler.
void sel_gate_stop(SelGate& gate);

// Closes what sel_gate_listen opened, when sel_gate_run never ran.
void sel_gate_close(SelGate& gate);
