#include "sel_gate.h"

#include <httplib.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using Clock = std::chrono::steady_clock;

namespace {

const int kBacklog = 512;          // connections the system accepts for the gate meanwhile
const int kReservedFiles = 64;     // descriptors kept for files, pipes and the log
const int kMaxWaitMs = 1000;       // longest poll, so that the deadlines are looked at
const int kWriteSliceMs = 100;     // a blocked answer looks at the stop this often
const size_t kReadChunk = 16384;

long long msUntil(Clock::time_point when, Clock::time_point now) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count();
}

// What the library reads and writes for one request: the request from memory (it came
// whole), the answer to the socket within the answer's deadline.
class RequestStream : public httplib::Stream {
 public:
  RequestStream(SelConnection& c, Clock::time_point deadline, const std::atomic<bool>& stopping)
      : c_(c), deadline_(deadline), stopping_(stopping) {}

  bool is_readable() const override { return at_ < c_.frame.length; }
  bool is_writable() const override { return !failed_ && !stopping_; }

  ssize_t read(char* ptr, size_t size) override {
    size_t n = std::min(size, c_.frame.length - at_);
    std::memcpy(ptr, c_.in.data() + at_, n);
    at_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    size_t sent = 0;
    while (sent < size && !failed_) {
      if (stopping_) break;
      ssize_t n = ::send(c_.fd, ptr + sent, size - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        long long left = msUntil(deadline_, Clock::now());
        pollfd p = {c_.fd, POLLOUT, 0};
        if (left > 0) ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kWriteSliceMs)));
        if (left > 0) continue;
      }
      break;
    }
    failed_ = failed_ || sent < size;
    return failed_ ? -1 : static_cast<ssize_t>(sent);
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
  // selects on this one: what it reads is in memory already.
  socket_t socket() const override { return 0; }

  size_t consumed() const { return at_; }
  bool failed() const { return failed_; }

 private:
  SelConnection& c_;
  Clock::time_point deadline_;
  const std::atomic<bool>& stopping_;
  size_t at_ = 0;
  bool failed_ = false;
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

const char* reason(int status) {
  switch (status) {
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    default: return "Service Unavailable";
  }
}

// An answer of the gate's own, sent as far as the socket takes it at once: it is small, and
// the connection closes after it in any case.
void sendAnswer(const SelGate& g, int fd, int status) {
  std::string body = g.page ? g.page(status) : std::string();
  char head[256];
  std::snprintf(head, sizeof head,
                "HTTP/1.1 %d %s\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: %zu\r\n"
                "Cache-Control: no-store\r\nConnection: close\r\n\r\n",
                status, reason(status), body.size());
  std::string answer = head + body;
  ssize_t n = ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  (void)n;
}

void wakeReader(SelGate& g) {
  char byte = 1;
  ssize_t n = ::write(g.wake[1], &byte, 1);  // a full pipe has a wake pending already
  (void)n;
}

void closeConnection(SelGate& g, SelConnection& c) {
  auto count = g.perClient.find(c.client);
  if (count != g.perClient.end() && --count->second <= 0) g.perClient.erase(count);
  ::close(c.fd);
  g.open.erase(c.fd);  // frees c
}

// Ends a connection after its last answer. One whose client may still be sending is read to
// its end first: closed with unread bytes, it would reset, and the client could lose the
// answer.
void finish(SelGate& g, SelConnection& c, Clock::time_point now) {
  bool unread = !c.frame.exact || c.frame.refusal != 0 || !c.in.empty();
  if (c.ended || !unread) return closeConnection(g, c);
  ::shutdown(c.fd, SHUT_WR);
  c.phase = SelPhase::Lingering;
  c.since = now;
  std::string().swap(c.in);
}

void refuse(SelGate& g, SelConnection& c, int status, Clock::time_point now) {
  std::string method, path;
  sel_request_line(c.in, method, path);
  sendAnswer(g, c.fd, status);
  if (g.log) g.log(method, path, status);
  finish(g, c, now);
}

// Hands the connection's request to the workers once it is whole.
void offer(SelGate& g, SelConnection& c, Clock::time_point now) {
  if (c.in.empty() || sel_frame_request(c.in, g.limits.frame, c.frame) == 0) {
    if (c.ended) closeConnection(g, c);
    return;
  }
  if (c.frame.refusal) return refuse(g, c, c.frame.refusal, now);
  sel_drop_ranges(c.in, g.limits.frame, c.frame);
  c.phase = SelPhase::Answering;
  {
    std::lock_guard<std::mutex> hold(g.lock);
    g.ready.push_back(&c);
  }
  g.work.notify_one();
}

void receive(SelGate& g, SelConnection& c, Clock::time_point now) {
  char buffer[kReadChunk];
  bool lingering = c.phase == SelPhase::Lingering;
  size_t capacity = g.limits.frame.maxHead + g.limits.frame.maxBody;
  for (;;) {
    size_t room = lingering ? sizeof buffer : std::min(sizeof buffer, capacity - c.in.size());
    if (room == 0) break;
    ssize_t n = ::recv(c.fd, buffer, room, 0);
    if (n > 0 && lingering) {
      c.dropped += static_cast<size_t>(n);
      if (c.dropped > g.limits.lingerBytes) return closeConnection(g, c);
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
    if (n < 0 || lingering) return closeConnection(g, c);
    c.ended = true;
    break;
  }
  if (!lingering) offer(g, c, now);
}

void acceptConnections(SelGate& g, Clock::time_point now, Clock::time_point& pauseUntil, bool& failed) {
  while (static_cast<int>(g.open.size()) < g.limits.maxConnections) {
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
    auto c = std::make_unique<SelConnection>();
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
    int& count = g.perClient[c->client];
    if (count >= g.limits.perClient) {
      sendAnswer(g, fd, 503);
      ::close(fd);
      continue;
    }
    ++count;
    c->since = now;
    g.open[fd] = std::move(c);
  }
}

// Takes back what the workers answered: the next request of a connection, or its end.
void takeBack(SelGate& g, Clock::time_point now) {
  char drain[256];
  while (::read(g.wake[0], drain, sizeof drain) > 0) {
  }
  std::vector<SelConnection*> back;
  {
    std::lock_guard<std::mutex> hold(g.lock);
    back.swap(g.done);
  }
  for (SelConnection* c : back) {
    if (c->closeAfter) {
      finish(g, *c, now);
      continue;
    }
    c->phase = SelPhase::Reading;
    c->since = now;
    c->started = now;  // a request sent behind the last one counts from now
    c->startedRequest = !c->in.empty();
    offer(g, *c, now);
  }
}

// Closes the connections whose time is up; returns the milliseconds to the next deadline.
long long sweep(SelGate& g, Clock::time_point now) {
  const SelGateLimits& l = g.limits;
  long long next = kMaxWaitMs;
  std::vector<SelConnection*> idle, late, lingered;
  for (auto& entry : g.open) {
    SelConnection& c = *entry.second;
    if (c.phase == SelPhase::Answering) continue;
    long long left = c.phase == SelPhase::Lingering ? msUntil(c.since + std::chrono::milliseconds(l.lingerMs), now)
                     : c.startedRequest         ? msUntil(c.started + std::chrono::seconds(l.requestSeconds), now)
                                                : msUntil(c.since + std::chrono::seconds(l.idleSeconds), now);
    if (left > 0) {
      next = std::min(next, left);
    } else {
      (c.phase == SelPhase::Lingering ? lingered : c.startedRequest ? late : idle).push_back(&c);
    }
  }
  for (SelConnection* c : idle) closeConnection(g, *c);
  for (SelConnection* c : lingered) closeConnection(g, *c);
  for (SelConnection* c : late) refuse(g, *c, 408, now);
  return next;
}

// The first waiting request whose client holds less than its share of the workers.
SelConnection* takeReady(SelGate& g) {
  int share = std::max(1, g.limits.workers / 2);
  for (auto it = g.ready.begin(); it != g.ready.end(); ++it) {
    SelConnection* c = *it;
    int& held = g.busy[c->client];
    if (held >= share) continue;
    ++held;
    g.ready.erase(it);
    g.serving.push_back(c);
    return c;
  }
  return nullptr;
}

void answer(SelGate& g, SelConnection& c) {
  RequestStream stream(c, Clock::now() + std::chrono::seconds(g.limits.writeSeconds), g.stopping);
  bool last = !c.frame.exact || c.ended || c.answered + 1 >= g.limits.keepAliveRequests || g.stopping;
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
  c.closeAfter = !ok || last || clientCloses || !c.frame.exact || stream.failed();
}

void work(SelGate& g) {
  std::unique_lock<std::mutex> hold(g.lock);
  for (;;) {
    SelConnection* c = nullptr;
    g.work.wait(hold, [&] { return g.stopping || (c = takeReady(g)) != nullptr; });
    if (!c) return;
    hold.unlock();
    answer(g, *c);
    hold.lock();
    if (--g.busy[c->client] <= 0) g.busy.erase(c->client);
    g.serving.erase(std::find(g.serving.begin(), g.serving.end(), c));
    g.done.push_back(c);
    wakeReader(g);
    g.work.notify_one();  // a request that waited for this client's share may go now
  }
}

void fitToFileLimit(SelGateLimits& limits) {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return;
  long long usable = static_cast<long long>(files.rlim_cur) - kReservedFiles;
  limits.maxConnections = static_cast<int>(std::max<long long>(16, std::min<long long>(limits.maxConnections, usable)));
}

void shutDown(SelGate& g) {
  g.stopping = true;
  {
    std::lock_guard<std::mutex> hold(g.lock);
    for (SelConnection* c : g.serving) ::shutdown(c->fd, SHUT_RDWR);  // cuts answers being written
    g.ready.clear();
  }
  g.work.notify_all();
  for (std::thread& t : g.workers) t.join();
  g.workers.clear();
  g.done.clear();
  g.serving.clear();
  g.busy.clear();
  for (auto& entry : g.open) ::close(entry.first);
  g.open.clear();
  g.perClient.clear();
  sel_gate_close(g);
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
  for (addrinfo* a = found; a && g.listenFd < 0; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    int yes = 1;
    if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
        ::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, kBacklog) == 0) {
      g.listenFd = fd;
    } else {
      error = "cannot listen on " + address + " port " + std::to_string(port) + ": " + std::strerror(errno);
      if (fd >= 0) ::close(fd);
    }
  }
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
  for (int i = 0; i < g.limits.workers; ++i) g.workers.emplace_back(work, std::ref(g));
  std::vector<pollfd> fds;
  std::vector<SelConnection*> polled;
  Clock::time_point pauseUntil;
  bool failed = false;
  long long wait = 0;
  while (!g.stopping && !failed) {
    Clock::time_point now = Clock::now();
    bool accepting = static_cast<int>(g.open.size()) < g.limits.maxConnections && now >= pauseUntil;
    fds.assign(1, pollfd{g.wake[0], POLLIN, 0});
    if (accepting) fds.push_back(pollfd{g.listenFd, POLLIN, 0});
    polled.clear();
    for (auto& entry : g.open) {
      if (entry.second->phase == SelPhase::Answering) continue;
      fds.push_back(pollfd{entry.first, POLLIN, 0});
      polled.push_back(entry.second.get());
    }
    if (!accepting && now < pauseUntil) wait = std::min(wait, msUntil(pauseUntil, now));
    if (::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(wait, 0))) < 0 && errno != EINTR) break;
    now = Clock::now();
    if (fds[0].revents) takeBack(g, now);
    if (accepting && fds[1].revents) acceptConnections(g, now, pauseUntil, failed);
    size_t first = accepting ? 2 : 1;
    for (size_t i = 0; i < polled.size(); ++i)
      if (fds[first + i].revents) receive(g, *polled[i], now);
    wait = sweep(g, now);
  }
  shutDown(g);
  return failed ? -1 : 0;
}

void sel_gate_stop(SelGate& g) {
  g.stopping = true;
  if (g.wake[1] >= 0) wakeReader(g);
}

void sel_gate_close(SelGate& g) {
  for (int* fd : {&g.listenFd, &g.wake[0], &g.wake[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}
