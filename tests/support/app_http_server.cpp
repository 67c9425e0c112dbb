#include "app_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace app_test {

namespace {

const size_t kMaxRequestBytes = 64 * 1024;
const int kPollMs = 50;
const int kClientTimeoutMs = 5000;

int bindLoopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    return -1;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool waitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

}  // namespace

HttpServer::HttpServer(Handler handler, int lifetimeMs) : handler_(std::move(handler)) {
  int port = 0;
  listener_ = bindLoopback(port);
  if (listener_ < 0 || listen(listener_, 8) != 0) {
    if (listener_ >= 0) {
      close(listener_);
    }
    listener_ = -1;
    return;
  }
  port_ = port;
  thread_ = std::thread(&HttpServer::serve, this, lifetimeMs);
}

HttpServer::~HttpServer() {
  stop_ = true;
  if (thread_.joinable()) {
    thread_.join();
  }
  if (listener_ >= 0) {
    close(listener_);
  }
}

std::string HttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string HttpServer::page(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

std::string HttpServer::redirect(const std::string& location) {
  return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

void HttpServer::serve(int lifetimeMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(lifetimeMs);
  while (!stop_ && std::chrono::steady_clock::now() < end) {
    if (!waitFor(listener_, POLLIN, kPollMs)) {
      continue;
    }
    const int client = accept(listener_, nullptr, nullptr);
    if (client >= 0) {
      answer(client);
      close(client);
    }
  }
}

void HttpServer::answer(int client) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
    if (stop_ || !waitFor(client, POLLIN, kClientTimeoutMs)) {
      return;
    }
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) {
      return;
    }
    request.append(buffer, static_cast<size_t>(n));
  }
  ++requests_;
  // "GET <path> HTTP/1.1"
  const size_t pathStart = request.find(' ');
  const size_t pathEnd = pathStart == std::string::npos ? pathStart : request.find(' ', pathStart + 1);
  const std::string path =
      pathEnd == std::string::npos ? std::string("/") : request.substr(pathStart + 1, pathEnd - pathStart - 1);
  const std::string response = handler_(path);

  size_t sent = 0;
  while (sent < response.size() && !stop_) {
    if (!waitFor(client, POLLOUT, kClientTimeoutMs)) {
      return;
    }
    const ssize_t n = send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      return;  // the client hung up
    }
    sent += static_cast<size_t>(n);
  }
}

int closedLoopbackPort() {
  int port = 0;
  const int fd = bindLoopback(port);
  if (fd < 0) {
    return 0;
  }
  close(fd);
  return port;
}

}  // namespace app_test
