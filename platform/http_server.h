// http_server.h: a small HTTP server on a thread of its own, for the web display.
//
// The server reads and checks the requests, keeps the connections and their time limits, and hands each
// request, parsed, to one handler; what is served is the handler's business (app/web_display.cpp). Handlers
// run on the server's workers, several at once, never on the user-interface or the listener thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
  std::string method; // "GET", "POST", ...; HEAD arrives as GET
  std::string path;   // without the query
  // The query's fields and, for a form (application/x-www-form-urlencoded), the body's, decoded, in order.
  std::vector<std::pair<std::string, std::string>> fields;
};

struct HttpResponse {
  int status = 404;
  std::string content_type; // empty: no body
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

using HttpHandler = void (*)(const HttpRequest &request, HttpResponse &response);

// Limits of the server: connections served at once (more wait to be accepted), the largest request body, and
// how long a connection may keep the server waiting while it sends, reads or idles between requests.
constexpr int kHttpConnections = 8;
constexpr size_t kHttpBodyLimit = 1024;
constexpr int kHttpTimeoutSeconds = 3;
constexpr int kHttpKeepAliveSeconds = 2;

// Binds TCP port (0: any free one) on every IPv4 address, or on 127.0.0.1 alone when loopback_only, and
// serves on a thread of its own. timeout_seconds replaces kHttpTimeoutSeconds (tests that hold connections
// open on purpose). False, with the reason in why, when the port cannot be bound or the server is already
// running.
bool StartHttpServer(int port, bool loopback_only, HttpHandler handler, std::string *why,
                     int timeout_seconds = kHttpTimeoutSeconds);

// The bound port while the server runs, else 0.
int HttpServerPort();

// Stops accepting, lets the requests in progress finish (each within the time limits above) and waits for the
// server's threads. Does nothing when the server is not running.
void StopHttpServer();
