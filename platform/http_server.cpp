// http_server.cpp: http_server.h over cpp-httplib, which hides the difference between winsock and POSIX
// sockets; both front ends build this one file. The portable build links Debian's libcpp-httplib, the
// Windows build compiles the same version's complete header (scripts/fetch-httplib.sh).
#include "platform/http_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// cpp-httplib serves each connection on a worker of its task queue. Its own pool queues every accepted
// connection without limit; this one holds the accepting thread back while all workers are busy and a few
// connections already wait, so that further ones wait in the system's backlog, or are refused, instead of
// piling up here. A connection that stops reading costs one worker until its write time limit.
class BoundedPool : public httplib::TaskQueue {
public:
  explicit BoundedPool(int workers) {
    for (int i = 0; i < workers; ++i)
      threads_.emplace_back([this] { Work(); });
  }

  void enqueue(std::function<void()> job) override {
    std::unique_lock hold(lock_);
    room_.wait(hold, [this] { return jobs_.size() < kWaitingLimit || shutdown_; });
    jobs_.push_back(std::move(job));
    hold.unlock();
    work_.notify_one();
  }

  void shutdown() override {
    {
      std::lock_guard hold(lock_);
      shutdown_ = true;
    }
    work_.notify_all();
    room_.notify_all();
    for (std::thread &t : threads_)
      t.join();
  }

private:
  static constexpr size_t kWaitingLimit = 4;

  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock hold(lock_);
        work_.wait(hold, [this] { return !jobs_.empty() || shutdown_; });
        if (jobs_.empty())
          return; // shut down, and every accepted connection has been served (its socket closed)
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      room_.notify_one();
      job();
    }
  }

  std::mutex lock_;
  std::condition_variable work_, room_;
  std::deque<std::function<void()>> jobs_;
  bool shutdown_ = false;
  std::vector<std::thread> threads_;
};

struct Server {
  std::mutex lock; // over the members below, for start and stop from different threads
  std::unique_ptr<httplib::Server> http;
  std::thread thread;
  int port = 0;
};

Server &TheServer() {
  static Server server;
  return server;
}

void Serve(HttpHandler handler, const httplib::Request &in, httplib::Response &out) {
  HttpRequest request;
  request.method = in.method == "HEAD" ? "GET" : in.method;
  request.path = in.path;
  request.fields.assign(in.params.begin(), in.params.end());
  HttpResponse response;
  handler(request, response);
  out.status = response.status;
  for (const auto &[name, value] : response.headers)
    out.set_header(name, value);
  if (!response.content_type.empty())
    out.set_content(std::move(response.body), response.content_type.c_str());
}

} // namespace

bool StartHttpServer(int port, bool loopback_only, HttpHandler handler, std::string *why, int timeout_seconds) {
  Server &server = TheServer();
  std::lock_guard hold(server.lock);
  if (server.http != nullptr) {
    if (why != nullptr)
      *why = "the web server is already running";
    return false;
  }
  auto http = std::make_unique<httplib::Server>();
  http->new_task_queue = [] { return new BoundedPool(kHttpConnections); };
  http->set_payload_max_length(kHttpBodyLimit);
  http->set_read_timeout(timeout_seconds, 0);
  http->set_write_timeout(timeout_seconds, 0);
  http->set_keep_alive_timeout(kHttpKeepAliveSeconds);
  http->set_keep_alive_max_count(1000); // a viewer asks for a frame up to 20 times a second
  http->set_address_family(AF_INET);
  http->set_tcp_nodelay(true); // a frame's last segment goes out at once
  const auto serve = [handler](const httplib::Request &in, httplib::Response &out) { Serve(handler, in, out); };
  http->Get(".*", serve);
  http->Post(".*", serve);
  http->Put(".*", serve);
  http->Patch(".*", serve);
  http->Delete(".*", serve);
  http->Options(".*", serve);
  http->set_exception_handler(
      [](const httplib::Request &, httplib::Response &out, std::exception_ptr) { out.status = 500; });
  const char *host = loopback_only ? "127.0.0.1" : "0.0.0.0";
  int bound = port;
  if (port == 0)
    bound = http->bind_to_any_port(host);
  else if (!http->bind_to_port(host, port))
    bound = -1;
  if (bound <= 0) {
    if (why != nullptr)
      *why = "cannot listen on TCP port " + std::to_string(port) + " (another program may be using it)";
    return false;
  }
  httplib::Server *running = http.get();
  auto ended = std::make_shared<std::atomic<bool>>(false);
  try {
    server.thread = std::thread([running, ended] {
      running->listen_after_bind();
      *ended = true;
    });
  } catch (const std::system_error &) {
    if (why != nullptr)
      *why = "cannot start its thread";
    return false;
  }
  // stop() only ends a server that has begun to listen; it begins at once.
  while (!running->is_running() && !*ended)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  server.http = std::move(http);
  server.port = bound;
  return true;
}

int HttpServerPort() {
  Server &server = TheServer();
  std::lock_guard hold(server.lock);
  return server.port;
}

void StopHttpServer() {
  Server &server = TheServer();
  std::lock_guard hold(server.lock);
  if (server.http == nullptr)
    return;
  server.http->stop();
  server.thread.join();
  server.http.reset();
  server.port = 0;
}
