#include "RequestAnswer.h"

#include <Lumo/ValueMemory.h>
#include <Lumo/Wire/Codec.h>
#include <Lumo/Wire/Dispatcher.h>

#include <exception>

#include "HeaderText.h"

namespace ZelHttp {
namespace Detail {

namespace http = boost::beast::http;

namespace {

void Plain(HttpResponse& response, int status, const std::string& text) {
  response.result(static_cast<unsigned>(status));
  response.set(http::field::content_type, "text/plain; charset=utf-8");
  response.body() = text + "\n";
}

std::chrono::microseconds Since(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               started);
}

std::string PathOf(const HttpRequest& request) {
  std::string_view target = request.target();
  return std::string(target.substr(0, target.find('?')));
}

void Log(const ServerContext& context, RequestRecord& record) {
  if (!context.settings.requestLog) return;
  try {
    context.settings.requestLog(record);
  } catch (const std::exception&) {
    // A failing log must not fail the call.
  }
}

// A SOAP POST on the path: the handler answers. call and answer are kept
// for the log. False when the handler reset the connection instead.
bool AnswerCall(const ServerContext& context, HttpRequest& request, HttpResponse& response,
                Lumo::Wire::TransportRequest& call, Lumo::Wire::TransportResponse& answer,
                Lumo::Wire::CallInfo& info, RequestRecord& record) {
  if (!IsXml(request[http::field::content_type])) {
    record.refusal = "not a SOAP content type";
    Plain(response, 415, "the body must be a SOAP message (Content-Type: text/xml)");
    return true;
  }
  call.action = Unquote(request["SOAPAction"]);
  call.body = std::move(request.body());
  for (const auto& field : request) {
    if (field.name() == http::field::cookie) {
      call.headers.emplace_back("Cookie", std::string(field.value()));
    }
  }
  if (context.settings.logBodies) record.requestBody = call.body;
  record.request = &call;
  record.call = &info;
  try {
    context.handler(call, answer, info);
  } catch (const ResetConnection& e) {
    record.refusal = std::string("connection reset: ") + e.what();
    return false;
  } catch (const HttpError& e) {
    record.refusal = e.what();
    Plain(response, e.GetStatus(), e.what());
    return true;
  } catch (const std::exception& e) {
    record.refusal = e.what();
    Plain(response, 500, std::string("the request could not be served: ") + e.what());
    return true;
  }
  response.result(static_cast<unsigned>(answer.status != 0 ? answer.status : 500));
  for (const auto& [name, value] : answer.headers) response.insert(name, value);
  response.set(http::field::content_type, "text/xml; charset=utf-8");
  record.response = &answer;
  return true;
}

// A GET or HEAD the settings' page handler answers: false for 404.
bool AskPage(const HttpServerSettings& settings, const HttpRequest& request, Page& page) {
  if (settings.pageHandler) {
    PageRequest asked;
    asked.method = std::string(request.method_string());
    asked.target = std::string(request.target());
    asked.body = request.body();
    for (const auto& field : request) {
      asked.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    return settings.pageHandler(asked, page);
  }
  return settings.getHandler(std::string(request.target()), page.contentType, page.body);
}

// A request other than a SOAP POST on the path; a refusal's reason goes to
// the record.
void AnswerOther(const HttpServerSettings& settings, const HttpRequest& request,
                 const std::string& path, HttpResponse& response, RequestRecord& record) {
  auto method = request.method();
  bool servesPages = settings.getHandler || settings.pageHandler;
  bool isGet = method == http::verb::get || method == http::verb::head;
  if ((isGet && servesPages) || (settings.pageHandler && path != settings.path)) {
    Page page;
    try {
      if (!AskPage(settings, request, page)) {
        record.refusal = "nothing at " + path;
        return Plain(response, 404, record.refusal);
      }
    } catch (const std::exception& e) {
      record.refusal = std::string("the page could not be served: ") + e.what();
      return Plain(response, 500, record.refusal);
    }
    response.result(static_cast<unsigned>(page.status));
    response.set(http::field::content_type, page.contentType);
    response.body() = std::move(page.body);
  } else if (path == settings.path) {
    response.set(http::field::allow, servesPages ? "POST, GET" : "POST");
    record.refusal = "POST SOAP messages to this path";
    Plain(response, 405, record.refusal);
  } else {
    record.refusal = "nothing at " + path;
    Plain(response, 404, record.refusal);
  }
}

}  // namespace

void GiveBackMemory() {
  // Reading, the values of the call and the answer all keep freed memory
  // for reuse; the reader's pool and the heap are the process's, the
  // values' free memory is the calling thread's.
  Lumo::Wire::GiveBackReaderMemory();
  Lumo::GiveBackFreeValueMemory();
}

bool AnswerRequest(const ServerContext& context, const std::string& peer,
                   std::chrono::steady_clock::time_point started, HttpRequest& request,
                   HttpResponse& response) {
  const HttpServerSettings& settings = context.settings;
  response.version(11);
  RequestRecord record;
  record.peer = peer;
  record.httpMethod = std::string(request.method_string());
  record.target = std::string(request.target());
  std::string path = PathOf(request);
  Lumo::Wire::TransportRequest call;
  Lumo::Wire::TransportResponse answer;
  // The handler writes the answer into the buffer of the connection's last.
  answer.body = std::move(response.body());
  Lumo::Wire::CallInfo info;
  bool answered = true;
  if (request.method() == http::verb::post && path == settings.path) {
    answered = AnswerCall(context, request, response, call, answer, info, record);
  } else {
    AnswerOther(settings, request, path, response, record);
  }
  record.status = answered ? static_cast<int>(response.result_int()) : 0;
  record.duration = Since(started);
  Log(context, record);
  // The request's body buffer is the connection's to read the next one into.
  if (record.request != nullptr) request.body() = std::move(call.body);
  if (!answered) return false;
  if (record.response != nullptr) response.body() = std::move(answer.body);
  response.keep_alive(request.keep_alive() && !context.stopping);
  response.prepare_payload();
  if (request.method() == http::verb::head) response.body().clear();
  return true;
}

void RefusalAnswer(const ServerContext& context, const std::string& peer,
                   std::chrono::steady_clock::time_point started, const HttpRequest* request,
                   int status, const std::string& reason, HttpResponse& response) {
  response.version(11);
  Plain(response, status, reason);
  response.keep_alive(false);
  response.prepare_payload();
  RequestRecord record;
  record.peer = peer;
  if (request != nullptr) {
    record.httpMethod = std::string(request->method_string());
    record.target = std::string(request->target());
  }
  record.status = status;
  record.refusal = reason;
  record.duration = Since(started);
  Log(context, record);
}

void LogRefusedConnection(const ServerContext& context, const std::string& peer, int status,
                          const std::string& reason) {
  RequestRecord record;
  record.peer = peer;
  record.status = status;
  record.refusal = reason;
  Log(context, record);
}

}  // namespace Detail
}  // namespace ZelHttp
