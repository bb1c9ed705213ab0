// The selector's connections, served by a few threads that never wait on a client: each
// reads its connections' requests whole before answering them, writes an answer as far as
// the client takes it and goes on with the others meanwhile. A client that sends or reads
// slowly, or not at all, costs a buffer and a descriptor, never a thread's time, so
// well-formed requests are answered while any number of such clients are connected.
// Answering takes a thread a fraction of a millisecond (a page is computed, a model file
// copied); the system wakes one waiting thread for each new connection.
//
// Bounds, each in SelGateLimits:
// - a connection that sends nothing for idleSeconds (before a request or between two) is
//   closed; a request not whole within requestSeconds of its first byte is answered 408;
// - a head over maxHead, a body over maxBody: the HTTP library refuses them (400, 413);
// - one client address holds at most perClient connections (more are answered 503 and
//   closed); all clients together at most maxConnections (more wait in the listening
//   queue), so memory stays within maxConnections times a request's and an answer's size;
// - an answer not taken whole within writeSeconds is cut.
// A connection that ends while the client may still be sending is read to its end (for at
// most lingerMs and lingerBytes) before it is closed, so the client reads the answer
// instead of a reset.
//
// Stopping (sel_gate_stop) closes every connection, an answer being written included, and
// sel_gate_run returns at once.
#pragma once
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "sel_framing.h"

namespace httplib {
class Stream;
}

struct SelGateLimits {
  int threads = 8;
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
// to a request (method and path are empty when the request line never came whole).
using SelGatePage = std::function<std::string(int status)>;
using SelGateLog = std::function<void(const std::string& method, const std::string& path, int status)>;

struct SelGate {
  SelGateLimits limits;
  SelGateServe serve;
  SelGatePage page;
  SelGateLog log;

  // The rest is the gate's own.
  int listenFd = -1;
  int wake[2] = {-1, -1};  // a pipe that wakes every thread to stop
  std::atomic<bool> stopping{false};
  std::atomic<int> connections{0};
  std::mutex lock;                       // guards perClient
  std::map<std::string, int> perClient;  // open connections per client address
};

// Binds the listening socket to address and port (0: any free port, set on return).
// 0 done; -1 with error.
int sel_gate_listen(SelGate& gate, const std::string& address, int& port, std::string& error);

// Serves (in the calling thread and limits.threads - 1 more) until sel_gate_stop, and
// closes every connection. 0 stopped; -1 when a listening socket failed.
int sel_gate_run(SelGate& gate);

// Asks sel_gate_run to stop; safe in a signal handler.
void sel_gate_stop(SelGate& gate);

// Closes what sel_gate_listen opened (after sel_gate_run, once no signal can stop it).
void sel_gate_close(SelGate& gate);
