#include "ServerMetrics.h"

#include <Lumo/Wire/Dispatcher.h>

#include <cstdio>

namespace ZelServer {

namespace {

// A label value with the three characters the format escapes escaped.
std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

void Header(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

// The lines of one histogram; labels: "" or `name="value",` pairs ending
// with a comma.
void Histogram(std::string& out, const std::string& name, const std::string& labels,
               const HistogramCounts& counts) {
  uint64_t cumulative = 0;
  for (size_t i = 0; i < counts.buckets.size(); ++i) {
    cumulative += counts.buckets[i];
    std::string bound = i < kBucketBounds.size() ? Number(kBucketBounds[i]) : "+Inf";
    out +=
        name + "_bucket{" + labels + "le=\"" + bound + "\"} " + std::to_string(cumulative) + "\n";
  }
  std::string braces = labels.empty() ? "" : "{" + labels.substr(0, labels.size() - 1) + "}";
  out += name + "_sum" + braces + " " + Number(static_cast<double>(counts.sumNanos) / 1e9) + "\n";
  out += name + "_count" + braces + " " + std::to_string(counts.count) + "\n";
}

}  // namespace

const char* RefusalReason(int code) {
  switch (code) {
    case 400:
      return "bad_request";
    case 404:
      return "not_found";
    case 405:
      return "method_not_allowed";
    case 411:
      return "length_required";
    case 413:
      return "body_too_large";
    case 415:
      return "unsupported_media_type";
    case 431:
      return "headers_too_large";
    case 500:
      return "page_failed";
    case 501:
      return "not_implemented";
    case 503:
      return "too_many_connections";
    default:
      return "other";
  }
}

void ServerMetrics::Record(const ZelHttp::RequestRecord& record) {
  if (record.request != nullptr) {
    const Lumo::Wire::CallInfo* call = record.call;
    const Lumo::ManagedMethod* method = call != nullptr ? call->method : nullptr;
    static const std::string kNone;
    const std::string& fault =
        call != nullptr && record.response != nullptr && record.status != 200 ? call->fault : kNone;
    const char* outcome =
        record.response == nullptr ? "error" : (record.status == 200 ? "ok" : "fault");
    _calls.Add(method, outcome, fault, record.duration);
    return;
  }
  if (record.refusal.empty()) return;
  int code = record.status;
  if (code >= kFirstCode && code < kFirstCode + static_cast<int>(_refusals.size())) {
    _refusals[static_cast<size_t>(code - kFirstCode)].fetch_add(1, std::memory_order_relaxed);
  }
}

void ServerMetrics::RecordStoreCommit(std::chrono::nanoseconds elapsed, bool failed) {
  _storeCommits.Add(elapsed);
  if (failed) _storeErrors.fetch_add(1, std::memory_order_relaxed);
}

std::string ServerMetrics::Render(const Gauges& gauges) const {
  std::string out;
  auto calls = _calls.Read();
  Header(out, "zel_calls_total", "counter", "Calls answered, by method and outcome.");
  for (const auto& [method, counts] : calls) {
    for (const auto& [key, count] : counts.outcomes) {
      out += "zel_calls_total{method=\"" + Escaped(method) + "\",outcome=\"" + key.first + "\"" +
             (key.second.empty() ? "" : ",fault=\"" + Escaped(key.second) + "\"") + "} " +
             std::to_string(count) + "\n";
    }
  }
  Header(out, "zel_call_duration_seconds", "histogram",
         "Time from a call's first byte to its answer, by method.");
  for (const auto& [method, counts] : calls) {
    Histogram(out, "zel_call_duration_seconds", "method=\"" + Escaped(method) + "\",",
              counts.durations);
  }
  Header(out, "zel_http_refusals_total", "counter",
         "Requests the HTTP layer refused, by status code.");
  for (size_t i = 0; i < _refusals.size(); ++i) {
    uint64_t count = _refusals[i].load(std::memory_order_relaxed);
    if (count == 0) continue;
    int code = kFirstCode + static_cast<int>(i);
    out += "zel_http_refusals_total{code=\"" + std::to_string(code) + "\",reason=\"" +
           RefusalReason(code) + "\"} " + std::to_string(count) + "\n";
  }
  Header(out, "zel_store_commit_duration_seconds", "histogram",
         "Time the store took to commit a call's changes.");
  Histogram(out, "zel_store_commit_duration_seconds", "", _storeCommits.Read());
  Header(out, "zel_store_errors_total", "counter", "Commits the store refused.");
  out += "zel_store_errors_total " + std::to_string(_storeErrors.load()) + "\n";
  Header(out, "zel_sessions_open", "gauge", "Sessions open.");
  out += "zel_sessions_open " + std::to_string(gauges.sessionsOpen) + "\n";
  Header(out, "zel_http_connections_open", "gauge", "Connections open.");
  out += "zel_http_connections_open " + std::to_string(gauges.connectionsOpen) + "\n";
  return out;
}

}  // namespace ZelServer
