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
// lines continued on the next line (obsolete line folding, 400) or ended by
// anything but CR LF (400).
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

// What is wrong with the lines of a request's header, or null: a line folded
// onto the next (a line break followed by a space or tab), or a line break
// that is not CR LF. bytes: the start of the request (its header, whole or in
// part, possibly followed by its body). scanned: how much of bytes earlier
// calls have already looked at (kept between calls while the header grows; 0
// for a new request). Checked on the raw bytes because the parser reads such
// lines differently depending on how much of the header has come.
const char* HeaderLineFault(std::string_view bytes, size_t& scanned);

}  // namespace Detail
}  // namespace ZelHttp
