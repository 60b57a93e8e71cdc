#include <ZelHttp/HttpServer.h>
#include <httplib.h>

#include <atomic>
#include <cctype>
#include <memory>
#include <stdexcept>

namespace ZelHttp {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool IsXml(const std::string& contentType) {
  std::string type = Lower(Trim(contentType.substr(0, contentType.find(';'))));
  return type == "text/xml" || type == "application/soap+xml";
}

// The SOAP action without the quotes SOAP 1.1 puts around it.
std::string Action(const httplib::Request& request) {
  std::string action = Trim(request.get_header_value("SOAPAction"));
  if (action.size() >= 2 && action.front() == '"' && action.back() == '"') {
    action = action.substr(1, action.size() - 2);
  }
  return action;
}

void Plain(httplib::Response& response, int status, const std::string& text) {
  response.status = status;
  response.set_content(text + "\n", "text/plain; charset=utf-8");
}

}  // namespace

HttpServer::HttpServer(RequestHandler handler, const HttpServerSettings& settings)
    : _handler(std::move(handler)), _settings(settings) {}

HttpServer::~HttpServer() { Stop(); }

std::string HttpServer::GetUrl() const {
  std::string host = _settings.host == "::1" ? "[::1]" : _settings.host;
  return "http://" + host + ":" + std::to_string(_port) + _settings.path;
}

void HttpServer::Start() {
  if (_server) throw std::runtime_error("the server is already started");
  if (_settings.host != "127.0.0.1" && _settings.host != "::1") {
    throw std::invalid_argument("the server listens on the loopback interface only, not on " +
                                _settings.host);
  }
  auto server = std::make_unique<httplib::Server>();
  server->set_payload_max_length(_settings.maxBodyBytes);
  server->set_read_timeout(_settings.readTimeout);
  server->set_write_timeout(_settings.writeTimeout);
  server->set_keep_alive_max_count(100);
  server->set_keep_alive_timeout(5);

  server->Post(
      _settings.path, [this](const httplib::Request& request, httplib::Response& response) {
        if (!IsXml(request.get_header_value("Content-Type"))) {
          Plain(response, 415, "the body must be a SOAP message (Content-Type: text/xml)");
          return;
        }
        Lumo::Wire::TransportRequest call;
        call.action = Action(request);
        call.body = request.body;
        for (const auto& [name, value] : request.headers) {
          if (Lower(name) == "cookie") call.headers.emplace_back("Cookie", value);
        }
        Lumo::Wire::TransportResponse answer;
        try {
          _handler(call, answer);
        } catch (const std::exception& e) {
          Plain(response, 500, std::string("the request could not be served: ") + e.what());
          return;
        }
        response.status = answer.status != 0 ? answer.status : 500;
        for (const auto& [name, value] : answer.headers) response.set_header(name.c_str(), value);
        response.set_content(answer.body, "text/xml; charset=utf-8");
      });
  server->Get(_settings.path, [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Allow", "POST");
    Plain(response, 405, "POST SOAP messages to this path");
  });
  server->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) {
      Plain(response, response.status, "HTTP " + std::to_string(response.status));
    }
  });

  int port = _settings.port;
  if (port == 0) {
    port = server->bind_to_any_port(_settings.host);
    if (port <= 0) throw std::runtime_error("no free port on " + _settings.host);
  } else if (!server->bind_to_port(_settings.host, port)) {
    throw std::runtime_error("cannot listen on " + _settings.host + ":" + std::to_string(port));
  }
  _port = port;
  _server = std::move(server);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  _thread = std::thread([server = _server.get(), finished] {
    server->listen_after_bind();
    *finished = true;
  });
  // A stop before the serving loop runs would be lost: wait until it runs.
  while (!_server->is_running() && !*finished) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!_server->is_running()) {
    _thread.join();
    _server.reset();
    throw std::runtime_error("the server did not start serving on " + GetUrl());
  }
}

void HttpServer::Stop() {
  if (!_server) return;
  _server->stop();
  if (_thread.joinable()) _thread.join();
  _server.reset();
}

}  // namespace ZelHttp
