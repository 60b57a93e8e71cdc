// What the server answers to one request read in full: the handler's answer
// to a SOAP POST on the path, the GET handler's page, or an HTTP error; and
// the answers the HTTP layer gives by itself when it refuses a request.
// Runs on the handler threads (no I/O here) and writes the request log.
#pragma once

#include <ZelHttp/HttpServer.h>

#include <atomic>
#include <boost/beast/http.hpp>
#include <chrono>
#include <string>

#include "ConnectionTable.h"
#include "HandlerPool.h"

namespace ZelHttp {
namespace Detail {

// What every connection of one server shares.
struct ServerContext {
  const HttpServerSettings& settings;
  const CallHandler& handler;
  ConnectionTable& table;
  HandlerPool& handlers;
  std::atomic<bool> stopping{false};
};

// Bodies and buffers at least this large are given back to the system as
// soon as their request is answered.
inline constexpr size_t kLargeBytes = 1024 * 1024;
// A connection keeps its request and answer body buffers from call to call
// up to this size each; larger ones are let go after their call, so that
// many idle connections hold little memory.
inline constexpr size_t kKeptBodyBytes = 64 * 1024;

// Returns memory freed by a large request or answer to the system: the
// reader's shared pool, the calling thread's free value memory, the heap.
void GiveBackMemory();

using HttpRequest = boost::beast::http::request<boost::beast::http::string_body>;
using HttpResponse = boost::beast::http::response<boost::beast::http::string_body>;

// Fills response for request (consuming its body) and logs the call. False
// when the handler asked for the connection to be reset instead.
bool AnswerRequest(const ServerContext& context, const std::string& peer,
                   std::chrono::steady_clock::time_point started, HttpRequest& request,
                   HttpResponse& response);

// Fills response with a refusal (the connection closes after it) and logs it.
// request: what was read of the request, or null.
void RefusalAnswer(const ServerContext& context, const std::string& peer,
                   std::chrono::steady_clock::time_point started, const HttpRequest* request,
                   int status, const std::string& reason, HttpResponse& response);

// Logs a connection refused before any request was read from it (too many
// connections open), as a refusal with status and reason.
void LogRefusedConnection(const ServerContext& context, const std::string& peer, int status,
                          const std::string& reason);

}  // namespace Detail
}  // namespace ZelHttp
