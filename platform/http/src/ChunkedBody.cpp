#include "ChunkedBody.h"

#include <algorithm>
#include <utility>

namespace ZelHttp {
namespace Detail {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A line's text without its CR LF, or false when it does not end so or
// holds another CR.
bool LineText(std::string_view line, std::string_view& text) {
  if (line.empty() || line.back() != '\r') return false;
  text = line.substr(0, line.size() - 1);
  return text.find('\r') == std::string_view::npos;
}

}  // namespace

size_t ChunkedBody::Read(std::string_view bytes, std::string& body) {
  size_t at = 0;
  while (!Refused() && !Done()) {
    std::string_view rest = bytes.substr(at);
    switch (_part) {
      case Part::kSizeLine: {
        size_t end = rest.find('\n');
        size_t length = end == std::string_view::npos ? rest.size() : end;
        if (length > kMaxSizeLine) {
          Refuse(400, "a chunk size line is over " + std::to_string(kMaxSizeLine) + " bytes");
          return at;
        }
        if (end == std::string_view::npos) return at;
        uint64_t size = 0;
        if (!ReadSizeLine(rest.substr(0, end), size)) return at;
        at += end + 1;
        _part = size == 0 ? Part::kTrailer : Part::kData;
        _chunkLeft = size;
        break;
      }
      case Part::kData: {
        size_t take = static_cast<size_t>(std::min<uint64_t>(_chunkLeft, rest.size()));
        body.append(rest.data(), take);
        at += take;
        _chunkLeft -= take;
        if (_chunkLeft > 0) return at;
        _part = Part::kDataEnd;
        break;
      }
      case Part::kDataEnd:
        if (rest.size() < 2) return at;
        if (rest.substr(0, 2) != "\r\n") {
          Refuse(400, "a chunk's data does not end in CR LF");
          return at;
        }
        at += 2;
        _part = Part::kSizeLine;
        break;
      case Part::kTrailer: {
        size_t end = rest.find('\n');
        size_t length = end == std::string_view::npos ? rest.size() : end + 1;
        if (_trailerBytes + length > _maxTrailerBytes) {
          Refuse(431, "trailer lines over the limit");
          return at;
        }
        if (end == std::string_view::npos) return at;
        std::string_view text;
        if (!LineText(rest.substr(0, end), text)) {
          Refuse(400, "a trailer line does not end in CR LF");
          return at;
        }
        _trailerBytes += length;
        at += end + 1;
        if (text.empty()) _part = Part::kDone;
        break;
      }
      case Part::kDone:
        break;
    }
  }
  return at;
}

bool ChunkedBody::ReadSizeLine(std::string_view line, uint64_t& size) {
  std::string_view text;
  if (!LineText(line, text)) {
    Refuse(400, "a chunk size line does not end in CR LF");
    return false;
  }
  size_t digits = 0;
  size = 0;
  for (; digits < text.size() && HexValue(text[digits]) >= 0; ++digits) {
    size = size * 16 + static_cast<uint64_t>(HexValue(text[digits]));
    if (size > _left) {
      Refuse(413, "body over the limit");
      return false;
    }
  }
  // Extensions: blanks, then ";" and visible characters; all ignored.
  std::string_view extensions = text.substr(digits);
  size_t semicolon = extensions.find_first_not_of(" \t");
  bool extensionsRead = semicolon == std::string_view::npos || extensions[semicolon] == ';';
  for (char c : extensions) {
    if ((c < 0x20 && c != '\t') || c == 0x7f) extensionsRead = false;
  }
  if (digits == 0 || !extensionsRead) {
    Refuse(400, "a chunk size line does not read");
    return false;
  }
  _left -= size;
  return true;
}

void ChunkedBody::Refuse(int status, std::string reason) {
  _status = status;
  _reason = std::move(reason);
}

}  // namespace Detail
}  // namespace ZelHttp
