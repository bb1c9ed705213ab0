// Shared pieces of the model tests: temporary folders, whole-file helpers, gzip, and a
// loopback HTTP server that serves the files of a folder.
#pragma once
#include <httplib.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "test_temp.h"

namespace modeltest {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end of the test.
struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::path(testTempRoot()) / "zephyr-model-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path = made ? fs::path(made) : fs::path();
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return (path / name).string(); }
  size_t count() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(path), fs::directory_iterator()));
  }
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) { return !path.empty() && fs::exists(path); }

// Bytes that compress somewhat, like a database file.
inline std::string sampleBytes(size_t size, unsigned seed = 7) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(random() % 16 + (i % 64 == 0 ? 'A' : 'a'));
  return bytes;
}

inline std::string gzipBytes(const std::string& bytes) {
  z_stream s{};
  deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, bytes.size()) + 64, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  s.avail_in = static_cast<uInt>(bytes.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// Serves the files of a folder on 127.0.0.1 at a free port, plus "/cut": an answer that
// announces 100000 bytes and breaks off after 10, "/endless", "/redirect?to=ADDRESS": a 302 to
// the address (a path on this server when it starts with "/"), and "/loop": a redirect to
// itself.
class FileServer {
 public:
  explicit FileServer(const std::string& folder) {
    server_.set_mount_point("/", folder);
    server_.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(100000, "application/octet-stream",
                               [](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset >= 10) return false;
                                 sink.write("0123456789", 10);
                                 return true;
                               });
    });
    server_.Get("/redirect", [this](const httplib::Request& req, httplib::Response& res) {
      std::string to = req.get_param_value("to");
      res.set_redirect(to.rfind("/", 0) == 0 ? url(to.substr(1)) : to);
      res.set_content("moved", "text/plain");
    });
    server_.Get("/loop", [this](const httplib::Request&, httplib::Response& res) { res.set_redirect(url("loop")); });
    // "/endless": an answer that never ends, 64 KB at a time.
    server_.Get("/endless", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
        static const std::string piece(64 * 1024, 'z');
        return sink.write(piece.data(), piece.size());
      });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (port_ > 0 && !server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~FileServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  std::string url(const std::string& path = "") const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// An address where nothing listens.
inline std::string deadAddress(const std::string& path = "") { return "http://127.0.0.1:1/" + path; }

}  // namespace modeltest
