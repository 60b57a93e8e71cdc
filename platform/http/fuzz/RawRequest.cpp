#include "RawRequest.h"

#include <cctype>
#include <cstdint>
#include <vector>

namespace ZelHttpFuzz {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The comma-separated elements of the values, trimmed, empty ones skipped.
std::vector<std::string> Elements(const std::vector<std::string_view>& values) {
  std::vector<std::string> elements;
  for (std::string_view value : values) {
    size_t start = 0;
    while (start <= value.size()) {
      size_t comma = value.find(',', start);
      if (comma == std::string_view::npos) comma = value.size();
      std::string_view element = Trim(value.substr(start, comma - start));
      if (!element.empty()) elements.emplace_back(element);
      start = comma + 1;
    }
  }
  return elements;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string_view NoLeadingZeros(std::string_view digits) {
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits;
}

// Decodes a chunked body that must fill bytes exactly; false if it does not.
bool Dechunk(std::string_view bytes, std::string& body) {
  size_t at = 0;
  for (;;) {
    size_t eol = bytes.find("\r\n", at);
    if (eol == std::string_view::npos) return false;
    std::string_view line = bytes.substr(at, eol - at);
    size_t digits = 0;
    uint64_t size = 0;
    while (digits < line.size() && std::isxdigit(static_cast<unsigned char>(line[digits]))) {
      if (size > (uint64_t{1} << 40)) return false;
      char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[digits])));
      size = size * 16 + static_cast<uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
      ++digits;
    }
    if (digits == 0) return false;
    at = eol + 2;
    if (size == 0) break;
    if (bytes.size() - at < size + 2) return false;
    body.append(bytes.substr(at, size));
    at += size;
    if (bytes.substr(at, 2) != "\r\n") return false;
    at += 2;
  }
  // Trailer lines, then the empty line that ends the message.
  for (;;) {
    size_t eol = bytes.find("\r\n", at);
    if (eol == std::string_view::npos) return false;
    bool empty = eol == at;
    at = eol + 2;
    if (empty) break;
  }
  return at == bytes.size();
}

}  // namespace

std::string CheckRawRequest(std::string_view raw, std::string_view body) {
  size_t headerEnd = raw.find("\r\n\r\n");
  if (headerEnd == std::string_view::npos) return "no empty line ends the header";
  std::string_view header = raw.substr(0, headerEnd + 2);
  size_t lineEnd = header.find("\r\n");
  std::string_view requestLine = header.substr(0, lineEnd);
  std::string_view method = requestLine.substr(0, requestLine.find(' '));
  size_t slash = requestLine.rfind("HTTP/");
  if (slash == std::string_view::npos || requestLine.size() != slash + 8) {
    return "the request line does not end in a version";
  }
  bool old = requestLine.substr(slash + 5) < "1.1";

  std::vector<std::string_view> codings, lengths;
  for (size_t at = lineEnd + 2; at < header.size();) {
    size_t eol = header.find("\r\n", at);
    std::string_view line = header.substr(at, eol - at);
    at = eol + 2;
    if (line.empty()) return "an empty header line";
    if (line.front() == ' ' || line.front() == '\t') return "a folded header line";
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return "a header line without a colon";
    std::string name = Lower(line.substr(0, colon));
    if (name == "transfer-encoding") codings.push_back(line.substr(colon + 1));
    if (name == "content-length") lengths.push_back(line.substr(colon + 1));
  }

  std::string_view rest = raw.substr(headerEnd + 4);
  if (!codings.empty()) {
    if (old) return "Transfer-Encoding in an HTTP/1.0 request";
    std::vector<std::string> elements = Elements(codings);
    if (elements.size() != 1 || Lower(elements.front()) != "chunked") {
      return "a transfer coding other than chunked alone";
    }
    if (!lengths.empty()) return "both Content-Length and Transfer-Encoding";
    std::string decoded;
    if (!Dechunk(rest, decoded)) return "the chunked body does not read";
    if (decoded != body) return "the body is not the chunks' data";
    return std::string();
  }
  if (!lengths.empty()) {
    std::vector<std::string> elements = Elements(lengths);
    if (elements.empty()) return "an empty Content-Length";
    // Every value must be the same number (leading zeros read alike).
    for (const std::string& element : elements) {
      if (!AllDigits(element)) return "a Content-Length that is not a number";
      if (NoLeadingZeros(element) != NoLeadingZeros(elements.front())) {
        return "Content-Lengths that differ";
      }
    }
    std::string_view length = NoLeadingZeros(elements.front());
    if (length.size() > 12) return "a Content-Length too large";
    if (std::stoull(std::string(length)) != rest.size()) return "Content-Length is not the body's";
    if (rest != body) return "the body is not what follows the header";
    return std::string();
  }
  if (method == "POST" || method == "PUT") return "a POST or PUT without a length";
  if (!rest.empty() || !body.empty()) return "a body without a length";
  return std::string();
}

}  // namespace ZelHttpFuzz
