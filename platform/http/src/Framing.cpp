#include "Framing.h"

#include <vector>

#include "HeaderText.h"

namespace ZelHttp {
namespace Detail {

namespace http = boost::beast::http;

namespace {

// The codings of every Transfer-Encoding line, in order, lower case; empty
// list elements are skipped as HTTP allows.
std::vector<std::string> TransferCodings(const HttpRequest& request) {
  std::vector<std::string> codings;
  auto [first, last] = request.equal_range(http::field::transfer_encoding);
  for (auto field = first; field != last; ++field) {
    std::string_view value = field->value();
    size_t start = 0;
    while (start <= value.size()) {
      size_t comma = value.find(',', start);
      if (comma == std::string_view::npos) comma = value.size();
      std::string coding = Lower(Trim(value.substr(start, comma - start)));
      if (!coding.empty()) codings.push_back(std::move(coding));
      start = comma + 1;
    }
  }
  return codings;
}

std::string Joined(const std::vector<std::string>& codings) {
  std::string text;
  for (const std::string& coding : codings) text += (text.empty() ? "" : ", ") + coding;
  return text;
}

}  // namespace

std::optional<FramingRefusal> CheckFraming(const HttpRequest& request, bool readsChunked) {
  bool hasEncoding = request.find(http::field::transfer_encoding) != request.end();
  if (hasEncoding) {
    if (request.version() < 11) {
      return FramingRefusal{400, "Transfer-Encoding is not allowed in an HTTP/1.0 request"};
    }
    std::vector<std::string> codings = TransferCodings(request);
    if (codings.size() != 1 || codings.front() != "chunked" || !readsChunked) {
      return FramingRefusal{501, "the transfer coding \"" + Joined(codings).substr(0, 200) +
                                     "\" is not supported: only chunked alone is"};
    }
    return std::nullopt;
  }
  bool hasLength = request.find(http::field::content_length) != request.end();
  auto method = request.method();
  if (!hasLength && (method == http::verb::post || method == http::verb::put)) {
    return FramingRefusal{411, "a request with a body needs a Content-Length or chunked coding"};
  }
  return std::nullopt;
}

const char* HeaderLineFault(std::string_view bytes, size_t& scanned) {
  // Each line break is looked at once, with the byte after it; one whose
  // next byte has not come yet is looked at again next time.
  if (scanned == std::string_view::npos) return nullptr;
  size_t at = scanned;
  for (; at < bytes.size(); ++at) {
    char c = bytes[at];
    // The line feed of every CR LF is stepped over below.
    if (c == '\n') return "a header line ends without a carriage return";
    if (c != '\r') continue;
    if (at + 2 >= bytes.size()) break;
    if (bytes[at + 1] != '\n') return "a carriage return within a header line";
    char next = bytes[at + 2];
    if (next == ' ' || next == '\t') return "a header line is folded onto the next line";
    if (next == '\r') {
      if (at + 3 >= bytes.size()) break;
      if (bytes[at + 3] != '\n') return "a carriage return within a header line";
      // The empty line: the header ends here, the body may follow.
      scanned = std::string_view::npos;
      return nullptr;
    }
    ++at;
  }
  scanned = at;
  return nullptr;
}

}  // namespace Detail
}  // namespace ZelHttp
