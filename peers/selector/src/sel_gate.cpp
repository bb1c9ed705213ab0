#include "sel_gate.h"

#include <httplib.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

enum class Phase { Reading, Writing, Lingering };

struct Connection {
  int fd = -1;
  std::string client;  // the peer's address without its port
  std::string peerIp, localIp;
  int peerPort = 0, localPort = 0;
  Phase phase = Phase::Reading;
  std::string in;     // received and not yet answered
  std::string out;    // the answer, from sent on still to write
  size_t sent = 0;
  size_t dropped = 0;       // received while lingering
  Clock::time_point since;  // the wait for a request, the answer or the lingering began
  Clock::time_point started;  // the first byte of the current request came
  bool startedRequest = false;
  bool ended = false;  // the client sends no more
  SelFrame frame;      // of the request being answered
  int answered = 0;
  bool closeAfter = false;
};

// One thread's connections, watched through its own epoll set.
struct Loop {
  SelGate& g;
  int epoll = -1;
  std::map<int, std::unique_ptr<Connection>> open;
  std::map<int, uint32_t> watched;  // the events each connection is watched for
};

const int kBacklog = 512;       // connections the system accepts for the gate meanwhile
const int kReservedFiles = 64;  // descriptors kept for files, the pipe and the log
const int kMaxWaitMs = 1000;    // longest wait, so that the deadlines are looked at
const size_t kReadChunk = 16384;
// Connections one thread takes each time it is woken for them; the next wakes another.
const int kAcceptsPerWake = 4;
const int kEventsPerWait = 64;

long long msUntil(Clock::time_point when, Clock::time_point now) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count();
}

// What the library reads and writes for one request: the request from memory (it came
// whole), the answer into memory, to be written as the client takes it.
class AnswerStream : public httplib::Stream {
 public:
  explicit AnswerStream(Connection& c) : c_(c) {}

  bool is_readable() const override { return at_ < c_.frame.length; }
  bool is_writable() const override { return true; }

  ssize_t read(char* ptr, size_t size) override {
    size_t n = std::min(size, c_.frame.length - at_);
    std::memcpy(ptr, c_.in.data() + at_, n);
    at_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    c_.out.append(ptr, size);
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = c_.peerIp;
    port = c_.peerPort;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = c_.localIp;
    port = c_.localPort;
  }
  // The library asks a stream's socket only to keep select() within its limit, and never
  // selects on this one.
  socket_t socket() const override { return 0; }

  size_t consumed() const { return at_; }

 private:
  Connection& c_;
  size_t at_ = 0;
};

bool numericAddress(const sockaddr_storage& a, socklen_t size, std::string& ip, int& port) {
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&a), size, host, sizeof host, service, sizeof service,
                  NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return false;
  ip = host;
  port = std::atoi(service);
  return true;
}

// An answer of the gate's own; the connection closes after it.
std::string ownAnswer(const SelGate& g, int status) {
  const char* reason = status == 408 ? "Request Timeout" : status == 411 ? "Length Required" : "Service Unavailable";
  std::string body = g.page ? g.page(status) : std::string();
  char head[256];
  std::snprintf(head, sizeof head,
                "HTTP/1.1 %d %s\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: %zu\r\n"
                "Cache-Control: no-store\r\nConnection: close\r\n\r\n",
                status, reason, body.size());
  return head + body;
}

void closeConnection(Loop& l, Connection& c) {
  {
    std::lock_guard<std::mutex> hold(l.g.lock);
    auto count = l.g.perClient.find(c.client);
    if (count != l.g.perClient.end() && --count->second <= 0) l.g.perClient.erase(count);
  }
  --l.g.connections;
  int fd = c.fd;
  l.open.erase(fd);  // frees c
  l.watched.erase(fd);
  ::close(fd);  // leaves the epoll set with it
}

// Ends a connection after its last answer. One whose client may still be sending is read to
// its end first: closed with unread bytes, it would reset, and the client could lose the
// answer.
void finish(Loop& l, Connection& c, Clock::time_point now) {
  bool unread = !c.frame.exact || c.frame.refusal != 0 || !c.in.empty();
  if (c.ended || !unread) return closeConnection(l, c);
  ::shutdown(c.fd, SHUT_WR);
  c.phase = Phase::Lingering;
  c.since = now;
  std::string().swap(c.in);
}

enum class Flush { Whole, Pending, Closed };

// Writes as much of the answer as the socket takes now.
Flush flush(Loop& l, Connection& c) {
  while (c.sent < c.out.size()) {
    ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      c.sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return Flush::Pending;
    } else if (n == 0 || errno != EINTR) {
      closeConnection(l, c);
      return Flush::Closed;
    }
  }
  std::string().swap(c.out);
  c.sent = 0;
  return Flush::Whole;
}

// The library's answer to the whole request at the start of c.in.
void prepareAnswer(const SelGate& g, Connection& c) {
  sel_drop_ranges(c.in, g.limits.frame, c.frame);
  AnswerStream stream(c);
  bool last = !c.frame.exact || c.ended || c.answered + 1 >= g.limits.keepAliveRequests;
  bool clientCloses = false;
  bool ok = false;
  try {
    ok = g.serve(stream, last, clientCloses);
  } catch (...) {
    ok = false;
  }
  ++c.answered;
  // A request the library read otherwise than it was framed leaves the connection unsure.
  if (stream.consumed() != c.frame.length) c.frame.exact = false;
  c.in.erase(0, c.frame.length);
  c.closeAfter = !ok || last || clientCloses || !c.frame.exact;
}

void prepareRefusal(const SelGate& g, Connection& c, int status) {
  std::string method, path;
  sel_request_line(c.in, method, path);
  if (g.log) g.log(method, path, status);
  c.out = ownAnswer(g, status);
  c.sent = 0;
  c.frame.refusal = status;
  c.closeAfter = true;
}

void answerWhole(Loop& l, Connection& c, Clock::time_point now);

// After an answer went out whole: the next request, or the end.
void answered(Loop& l, Connection& c, Clock::time_point now) {
  if (c.closeAfter) return finish(l, c, now);
  c.phase = Phase::Reading;
  c.since = now;
  c.started = now;  // a request sent behind the last one counts from now
  c.startedRequest = !c.in.empty();
  answerWhole(l, c, now);
}

void startAnswer(Loop& l, Connection& c, Clock::time_point now) {
  c.phase = Phase::Writing;
  c.since = now;
  if (flush(l, c) == Flush::Whole) answered(l, c, now);
}

// Answers the request at the start of c.in once it has come whole (and those behind it,
// while the client takes the answers at once: at most keepAliveRequests).
void answerWhole(Loop& l, Connection& c, Clock::time_point now) {
  if (c.in.empty() || sel_frame_request(c.in, l.g.limits.frame, c.frame) == 0) {
    if (c.ended) closeConnection(l, c);
    return;
  }
  if (c.frame.refusal)
    prepareRefusal(l.g, c, c.frame.refusal);
  else
    prepareAnswer(l.g, c);
  startAnswer(l, c, now);
}

void receive(Loop& l, Connection& c, Clock::time_point now) {
  char buffer[kReadChunk];
  bool lingering = c.phase == Phase::Lingering;
  const SelGateLimits& limits = l.g.limits;
  size_t capacity = limits.frame.maxHead + limits.frame.maxBody;
  for (;;) {
    size_t room = lingering ? sizeof buffer : std::min(sizeof buffer, capacity - c.in.size());
    if (room == 0) break;
    ssize_t n = ::recv(c.fd, buffer, room, MSG_DONTWAIT);
    if (n > 0 && lingering) {
      c.dropped += static_cast<size_t>(n);
      if (c.dropped > limits.lingerBytes) return closeConnection(l, c);
      continue;
    }
    if (n > 0) {
      c.in.append(buffer, static_cast<size_t>(n));
      if (!c.startedRequest) c.started = now;
      c.startedRequest = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n < 0 || lingering) return closeConnection(l, c);
    c.ended = true;
    break;
  }
  if (!lingering) answerWhole(l, c, now);
}

// Takes a connection for its client, or refuses it when the client holds its share.
bool admit(SelGate& g, const std::string& client) {
  std::lock_guard<std::mutex> hold(g.lock);
  int& count = g.perClient[client];
  if (count >= g.limits.perClient) return false;
  ++count;
  return true;
}

void acceptConnections(Loop& l, Clock::time_point now, Clock::time_point& pauseUntil, bool& failed) {
  SelGate& g = l.g;
  for (int taken = 0; taken < kAcceptsPerWake && g.connections < g.limits.maxConnections; ++taken) {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    int fd = ::accept4(g.listenFd, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        pauseUntil = now + std::chrono::milliseconds(100);
      else if (errno != EAGAIN && errno != EWOULDBLOCK)
        failed = true;
      return;
    }
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    sockaddr_storage local{};
    socklen_t localSize = sizeof local;
    if (!numericAddress(peer, size, c->peerIp, c->peerPort) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
        !numericAddress(local, localSize, c->localIp, c->localPort)) {
      ::close(fd);
      continue;
    }
    c->client = c->peerIp;
    if (!admit(g, c->client)) {
      std::string refusal = ownAnswer(g, 503);
      ssize_t n = ::send(fd, refusal.data(), refusal.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      (void)n;  // refused either way
      ::close(fd);
      continue;
    }
    ++g.connections;
    c->since = now;
    Connection& added = *c;
    l.open[fd] = std::move(c);
    receive(l, added, now);  // a request sent with the connection is often there already
  }
}

// Acts on the connections whose time is up; returns the milliseconds to the next deadline.
long long sweep(Loop& l, Clock::time_point now) {
  const SelGateLimits& limits = l.g.limits;
  long long next = kMaxWaitMs;
  std::vector<Connection*> ended, late;
  for (auto& entry : l.open) {
    Connection& c = *entry.second;
    Clock::time_point deadline =
        c.phase == Phase::Lingering ? c.since + std::chrono::milliseconds(limits.lingerMs)
        : c.phase == Phase::Writing ? c.since + std::chrono::seconds(limits.writeSeconds)
        : c.startedRequest          ? c.started + std::chrono::seconds(limits.requestSeconds)
                                    : c.since + std::chrono::seconds(limits.idleSeconds);
    long long left = msUntil(deadline, now);
    if (left > 0)
      next = std::min(next, left);
    else
      (c.phase == Phase::Reading && c.startedRequest ? late : ended).push_back(&c);
  }
  for (Connection* c : ended) closeConnection(l, *c);
  for (Connection* c : late) {
    prepareRefusal(l.g, *c, 408);
    startAnswer(l, *c, now);
  }
  return next;
}

// Watches each connection for what its phase waits on: more of a request, or room for the
// answer.
void watch(Loop& l) {
  for (auto& entry : l.open) {
    uint32_t events = entry.second->phase == Phase::Writing ? EPOLLOUT : EPOLLIN;
    auto known = l.watched.find(entry.first);
    if (known != l.watched.end() && known->second == events) continue;
    epoll_event e{};
    e.events = events;
    e.data.fd = entry.first;
    epoll_ctl(l.epoll, known == l.watched.end() ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, entry.first, &e);
    l.watched[entry.first] = events;
  }
}

// Takes the listening socket into the thread's set, or out of it. Only one of the threads
// waiting on it is woken for a new connection.
void watchListener(Loop& l, bool on) {
  epoll_event e{};
  e.events = EPOLLIN | EPOLLEXCLUSIVE;
  e.data.fd = l.g.listenFd;
  epoll_ctl(l.epoll, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, l.g.listenFd, &e);
}

// One thread: its connections until the gate stops. Events name connections by descriptor,
// so one closed earlier in a batch is simply not found.
bool serveLoop(SelGate& g) {
  Loop l{g, epoll_create1(EPOLL_CLOEXEC), {}, {}};
  epoll_event stop{};
  stop.events = EPOLLIN;
  stop.data.fd = g.wake[0];
  bool failed = l.epoll < 0 || epoll_ctl(l.epoll, EPOLL_CTL_ADD, g.wake[0], &stop) != 0;
  epoll_event events[kEventsPerWait];
  Clock::time_point pauseUntil;
  bool listening = false;
  long long wait = 0;
  while (!g.stopping && !failed) {
    Clock::time_point now = Clock::now();
    bool accepting = g.connections < g.limits.maxConnections && now >= pauseUntil;
    if (accepting != listening) watchListener(l, listening = accepting);
    if (!accepting) wait = std::min<long long>(wait, now < pauseUntil ? msUntil(pauseUntil, now) : 100);
    watch(l);
    int n = ::epoll_wait(l.epoll, events, kEventsPerWait, static_cast<int>(std::max<long long>(wait, 0)));
    if (n < 0 && errno != EINTR) failed = true;
    now = Clock::now();
    for (int i = 0; i < n && !failed; ++i) {
      int fd = events[i].data.fd;
      if (fd == g.listenFd) {
        acceptConnections(l, now, pauseUntil, failed);
        continue;
      }
      auto found = l.open.find(fd);
      if (found == l.open.end()) continue;
      Connection& c = *found->second;
      if (c.phase != Phase::Writing)
        receive(l, c, now);
      else if (flush(l, c) == Flush::Whole)
        answered(l, c, now);
    }
    wait = sweep(l, now);
  }
  while (!l.open.empty()) closeConnection(l, *l.open.begin()->second);
  if (l.epoll >= 0) ::close(l.epoll);
  return !failed;
}

void fitToFileLimit(SelGateLimits& limits) {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return;
  long long usable = static_cast<long long>(files.rlim_cur) - kReservedFiles;
  limits.maxConnections = static_cast<int>(std::max<long long>(16, std::min<long long>(limits.maxConnections, usable)));
}

// A non-blocking socket listening at address; -1 when it cannot be had (another program
// listens there).
int listenSocket(const sockaddr* address, socklen_t size) {
  int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int yes = 1;
  if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 && ::bind(fd, address, size) == 0 &&
      ::listen(fd, kBacklog) == 0)
    return fd;
  int saved = errno;
  if (fd >= 0) ::close(fd);
  errno = saved;
  return -1;
}

}  // namespace

int sel_gate_listen(SelGate& g, const std::string& address, int& port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  int rc = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (rc != 0) {
    error = "cannot listen on " + address + ": " + gai_strerror(rc);
    return -1;
  }
  for (addrinfo* a = found; a && g.listenFd < 0; a = a->ai_next) g.listenFd = listenSocket(a->ai_addr, a->ai_addrlen);
  if (g.listenFd < 0) error = "cannot listen on " + address + " port " + std::to_string(port) + ": " + std::strerror(errno);
  freeaddrinfo(found);
  if (g.listenFd < 0) return -1;
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  std::string ip;
  if (getsockname(g.listenFd, reinterpret_cast<sockaddr*>(&bound), &size) != 0 ||
      !numericAddress(bound, size, ip, port) || pipe2(g.wake, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("cannot listen: ") + std::strerror(errno);
    sel_gate_close(g);
    return -1;
  }
  return 0;
}

int sel_gate_run(SelGate& g) {
  fitToFileLimit(g.limits);
  std::vector<std::thread> threads;
  std::atomic<bool> failed{false};
  for (int i = 1; i < g.limits.threads; ++i)
    threads.emplace_back([&g, &failed] {
      if (!serveLoop(g)) failed = true;
      sel_gate_stop(g);
    });
  if (!serveLoop(g)) failed = true;
  sel_gate_stop(g);  // one thread that fails stops the others
  for (std::thread& t : threads) t.join();
  return failed ? -1 : 0;
}

void sel_gate_stop(SelGate& g) {
  g.stopping = true;
  char byte = 1;  // never read: every thread sees the pipe readable from now on
  if (g.wake[1] >= 0 && ::write(g.wake[1], &byte, 1) < 0) {
    // a full pipe wakes them as well
  }
}

void sel_gate_close(SelGate& g) {
  for (int* fd : {&g.listenFd, &g.wake[0], &g.wake[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}
