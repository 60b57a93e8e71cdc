// How a request says where its body ends, checked before the body is read.
// A request whose framing the server could read differently from a proxy in
// front of it is refused and its connection closed, so that no bytes of it
// are ever read as a request of their own.
//
// The server understands exactly one transfer coding, chunked, and only as
// the request's sole coding: other codings (gzip, "gzip, chunked", unknown
// names, "chunked, identity") are not implemented (501). A body without a
// Content-Length must be chunked: a POST or PUT with neither is refused
// (411), as is Transfer-Encoding in an HTTP/1.0 request (400), and header
// lines continued on the next line (obsolete line folding, 400).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "RequestAnswer.h"

namespace ZelHttp {
namespace Detail {

struct FramingRefusal {
  int status;
  std::string reason;
};

// The refusal of a request whose header has been read, or nothing when its
// framing is one the server reads unambiguously. readsChunked: whether the
// parser took the body for chunked (both readings must agree).
std::optional<FramingRefusal> CheckFraming(const HttpRequest& request, bool readsChunked);

// Whether the start of a request (its header, whole or in part, possibly
// followed by its body) folds a header line: a line break followed by a
// space or tab before the empty line that ends the header. scanned: how much
// of bytes earlier calls have already looked at (kept between calls while the
// header grows; 0 for a new request).
bool FoldsAHeaderLine(std::string_view bytes, size_t& scanned);

}  // namespace Detail
}  // namespace ZelHttp
