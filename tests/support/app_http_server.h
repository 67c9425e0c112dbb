// A small HTTP server on 127.0.0.1 for tests that fetch pages: each request
// path gets the handler's whole raw response, on a thread of the server's own.
#pragma once

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace app_test {

class HttpServer {
public:
  explicit HttpServer(std::function<std::string(const std::string& path)> handler) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    listen(listener, 8);
    thread = std::thread([this, handler] {
      for (int client; (client = accept(listener, nullptr, nullptr)) >= 0; close(client)) {
        std::string request(8192, '\0');
        request.resize(std::max<ssize_t>(recv(client, &request[0], request.size(), 0), 0));
        const size_t start = request.find(' ') + 1;
        const std::string response = (++requests, handler(request.substr(start, request.find(' ', start) - start)));
        for (ssize_t sent = 0, n = 1; sent < ssize_t(response.size()) && n > 0; sent += n)
          n = send(client, &response[sent], response.size() - sent, MSG_NOSIGNAL);
      }
    });
  }
  ~HttpServer() {
    shutdown(listener, SHUT_RDWR);
    thread.join();
    close(listener);
  }
  std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port) + path; }
  int requestCount() const { return requests; }
  static std::string page(const std::string& body, const std::string& status = "200 OK", const std::string& more = "") {
    return "HTTP/1.1 " + status + "\r\n" + more + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
  }
  static std::string redirect(const std::string& to) { return page("", "302 Found", "Location: " + to + "\r\n"); }

private:
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  std::atomic<int> requests{0};
  std::thread thread;
};

// An address on loopback where nothing listens (connections are refused).
inline std::string refusedUrl() { return HttpServer([](const std::string&) { return ""; }).url(); }

}  // namespace app_test
