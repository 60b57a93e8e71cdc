// A raw HTTP connection for tests: sends exactly the bytes given (hostile
// ones included) and reads answers with Beast's parser. Reads give up after
// 30 s so that a server that never answers fails the test instead of
// hanging it.
#pragma once

#include <sys/socket.h>
#include <sys/time.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <string>

namespace HttpTesting {

struct RawAnswer {
  // -1: the connection closed (or failed) before an answer.
  int status = -1;
  std::string contentType;
  std::string body;
  bool keepAlive = false;
  std::string header(const std::string& name) const;
  std::string headers;
};

class RawConnection {
 public:
  explicit RawConnection(int port, bool connectNow = true);
  bool Connect();
  // False when the peer has closed or reset the connection.
  bool Send(const std::string& bytes);
  RawAnswer Read();
  // Waits until the server closes the connection; false after 30 s.
  bool WaitForClose();
  boost::asio::ip::tcp::socket& Socket() { return _socket; }

 private:
  void SetReadTimeout(int seconds);
  int _port;
  boost::asio::io_context _io;
  boost::asio::ip::tcp::socket _socket;
  boost::beast::flat_buffer _buffer;
};

// A POST of body to path with the given content type and extra header lines
// ("Name: value\r\n..."), on a connection of its own.
RawAnswer Post(int port, const std::string& path, const std::string& body,
               const std::string& contentType, const std::string& extraHeaders = "");

std::string PostRequest(const std::string& path, const std::string& body,
                        const std::string& contentType, const std::string& extraHeaders = "");

}  // namespace HttpTesting
