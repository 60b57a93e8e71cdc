#include "ServerPages.h"

namespace ZelServer {

namespace {

std::string PathOf(const std::string& target) { return target.substr(0, target.find('?')); }

}  // namespace

ServerPages::ServerPages(ServiceDescription& description, const PublicAddress& address,
                         const ServerMetrics& metrics, Sources sources)
    : _description(description),
      _address(address),
      _metrics(metrics),
      _sources(std::move(sources)) {}

bool ServerPages::Answer(const ZelHttp::PageRequest& request, ZelHttp::Page& page) {
  std::string path = PathOf(request.target);
  if (path == "/healthz") {
    page.body = "ok\n";
  } else if (path == "/readyz") {
    std::string problem = _sources.probeStore ? _sources.probeStore() : std::string();
    page.status = problem.empty() ? 200 : 503;
    page.body = problem.empty() ? "ready\n" : "not ready: " + problem + "\n";
  } else if (path == "/metrics") {
    page.contentType = ServerMetrics::kContentType;
    page.body = _metrics.Render(_sources.gauges ? _sources.gauges() : ServerMetrics::Gauges());
  } else {
    return _description.Answer(request.target, _address.For(request), page.contentType, page.body);
  }
  return true;
}

}  // namespace ZelServer
