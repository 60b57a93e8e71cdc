#include "QueryString.h"

namespace ZelServer {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Decode(const std::string& text, size_t begin, size_t end, std::string& out) {
  out.clear();
  for (size_t i = begin; i < end; ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] != '%') {
      out += text[i];
    } else {
      if (i + 2 >= end) return false;
      int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return true;
}

}  // namespace

bool ParseQuery(const std::string& target, std::vector<QueryPair>& pairs) {
  pairs.clear();
  size_t start = target.find('?');
  if (start == std::string::npos) return true;
  ++start;
  while (start <= target.size()) {
    size_t end = target.find('&', start);
    if (end == std::string::npos) end = target.size();
    if (end > start) {
      size_t equals = target.find('=', start);
      if (equals > end) equals = end;
      QueryPair pair;
      pair.hasValue = equals < end;
      if (!Decode(target, start, equals, pair.name)) return false;
      if (pair.hasValue && !Decode(target, equals + 1, end, pair.value)) return false;
      pairs.push_back(std::move(pair));
    }
    start = end + 1;
  }
  return true;
}

}  // namespace ZelServer
