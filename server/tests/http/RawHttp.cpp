#include "RawHttp.h"

namespace HttpTesting {

namespace http = boost::beast::http;
using tcp = boost::asio::ip::tcp;

std::string RawAnswer::header(const std::string& name) const {
  std::string lowerHeaders = headers;
  for (char& c : lowerHeaders) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string key = "\n" + name + ": ";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t at = lowerHeaders.find(key);
  if (at == std::string::npos) return std::string();
  size_t start = at + key.size();
  return headers.substr(start, headers.find('\r', start) - start);
}

RawConnection::RawConnection(int port, bool connectNow) : _port(port), _socket(_io) {
  if (connectNow) Connect();
}

bool RawConnection::Connect() {
  boost::system::error_code ec;
  _socket.connect(
      tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(_port)),
      ec);
  SetReadTimeout(30);
  return !ec;
}

void RawConnection::SetReadTimeout(int seconds) {
  timeval timeout{seconds, 0};
  setsockopt(_socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(_socket.native_handle(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

bool RawConnection::Send(const std::string& bytes) {
  boost::system::error_code ec;
  boost::asio::write(_socket, boost::asio::buffer(bytes), ec);
  return !ec;
}

RawAnswer RawConnection::Read() {
  RawAnswer answer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(64 * 1024 * 1024);
  boost::system::error_code ec;
  http::read(_socket, _buffer, parser, ec);
  if (ec) return answer;
  const auto& response = parser.get();
  answer.status = static_cast<int>(response.result_int());
  answer.contentType = std::string(response[http::field::content_type]);
  answer.body = response.body();
  answer.keepAlive = response.keep_alive();
  for (const auto& field : response) {
    answer.headers += "\r\n" + std::string(field.name_string()) + ": " + std::string(field.value());
  }
  answer.headers += "\r\n";
  return answer;
}

bool RawConnection::WaitForClose() {
  char byte;
  for (;;) {
    ssize_t got = recv(_socket.native_handle(), &byte, 1, 0);
    if (got == 0) return true;
    if (got < 0) return errno == ECONNRESET;
  }
}

std::string PostRequest(const std::string& path, const std::string& body,
                        const std::string& contentType, const std::string& extraHeaders) {
  return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" +
         body;
}

RawAnswer Post(int port, const std::string& path, const std::string& body,
               const std::string& contentType, const std::string& extraHeaders) {
  RawConnection connection(port);
  if (!connection.Send(PostRequest(path, body, contentType, extraHeaders))) return RawAnswer();
  return connection.Read();
}

}  // namespace HttpTesting
