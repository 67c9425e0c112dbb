// A small HTTP server on 127.0.0.1 for tests that fetch pages: it answers
// every request through a handler, runs on its own thread, and stops when
// destroyed or after its time limit, whichever comes first.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace app_test {

class HttpServer {
public:
  // Gets the request path ("/index.php?..."), returns the whole raw response.
  using Handler = std::function<std::string(const std::string& path)>;

  explicit HttpServer(Handler handler, int lifetimeMs = 60000);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port><path>"
  std::string url(const std::string& path = "/") const;
  int requestCount() const { return requests_; }

  // A "200 OK" response carrying body as text/html.
  static std::string page(const std::string& body);
  // A "302 Found" response pointing at location.
  static std::string redirect(const std::string& location);

private:
  void serve(int lifetimeMs);
  void answer(int client);

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

// A loopback port on which nothing listens (connections are refused).
int closedLoopbackPort();

}  // namespace app_test
