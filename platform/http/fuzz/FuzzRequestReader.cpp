// libFuzzer entry of the server's request reader: the input is what a client
// sends on one connection. The reader must come to the same requests and the
// same refusal however the bytes are split into reads, and every request it
// hands on must be one a strict reader of the raw bytes agrees with: framed by
// a Content-Length alone or by chunked alone, no folded header line, no
// Transfer-Encoding in HTTP/1.0, nothing left to be read as a request of its
// own. After a refusal or a close nothing more is read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "RawRequest.h"
#include "RequestReader.h"

namespace {

using ZelHttp::Detail::RequestReader;
using Step = RequestReader::Step;

constexpr size_t kMaxHeaderBytes = 2048;
constexpr uint64_t kMaxBodyBytes = 4096;

// What one reading of the bytes came to.
struct Transcript {
  struct Served {
    std::string method, target, body;
    unsigned version;
    size_t begin, end;  // where its bytes lie in the input
  };
  std::vector<Served> served;
  Step last = Step::kNeedMore;
  int status = 0;
};

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

// Feeds input in reads of as much as fits (seed 0), or of sizes from 1 to
// 64 drawn from the seed.
Transcript Read(std::string_view input, uint32_t seed) {
  Transcript transcript;
  RequestReader reader(kMaxHeaderBytes, kMaxBodyBytes);
  size_t fed = 0;
  size_t begin = 0;
  RequestReader::Outcome outcome = reader.Begin() ? reader.Received(0) : Step::kNeedMore;
  for (;;) {
    switch (outcome.step) {
      case Step::kNeedMore: {
        if (fed == input.size()) {
          outcome = reader.ReceivedEnd();
          if (outcome.step == Step::kNeedMore) Finding("more wanted after the end");
          continue;
        }
        auto room = reader.Room();
        if (room.size() == 0) Finding("no room while more is wanted");
        size_t take = std::min(room.size(), input.size() - fed);
        if (seed != 0) {
          seed ^= seed << 13;
          seed ^= seed >> 17;
          seed ^= seed << 5;
          take = std::min<size_t>(take, 1 + seed % 64);
        }
        std::memcpy(room.data(), input.data() + fed, take);
        fed += take;
        outcome = reader.Received(take);
        continue;
      }
      case Step::kSendContinue:
        outcome = reader.Continued();
        continue;
      case Step::kRequest: {
        auto request = reader.Release();
        size_t end = fed - reader.Buffered();
        transcript.served.push_back({std::string(request.method_string()),
                                     std::string(request.target()), std::move(request.body()),
                                     request.version(), begin, end});
        begin = end;
        outcome = reader.Begin() ? reader.Received(0) : Step::kNeedMore;
        continue;
      }
      case Step::kRefuse:
      case Step::kClose:
        transcript.last = outcome.step;
        transcript.status = outcome.status;
        return transcript;
    }
  }
}

bool Same(const Transcript& a, const Transcript& b) {
  if (a.last != b.last || a.status != b.status || a.served.size() != b.served.size()) return false;
  for (size_t i = 0; i < a.served.size(); ++i) {
    const auto& x = a.served[i];
    const auto& y = b.served[i];
    if (x.method != y.method || x.target != y.target || x.body != y.body ||
        x.version != y.version || x.end != y.end) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the sizes of the reads of the second reading.
  uint32_t seed = 0x9e3779b9u ^ data[0];
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  Transcript whole = Read(input, 0);
  Transcript pieces = Read(input, seed);
  if (!Same(whole, pieces)) {
    std::fprintf(stderr, "at once: %zu served, then %d %d; in pieces: %zu served, then %d %d\n",
                 whole.served.size(), static_cast<int>(whole.last), whole.status,
                 pieces.served.size(), static_cast<int>(pieces.last), pieces.status);
    Finding("the reading depends on how the bytes arrive");
  }

  for (const auto& served : whole.served) {
    std::string_view raw = input.substr(served.begin, served.end - served.begin);
    std::string why = ZelHttpFuzz::CheckRawRequest(raw, served.body);
    if (!why.empty()) {
      std::fprintf(stderr, "request at %zu: %s\n", served.begin, why.c_str());
      Finding("a request a strict reader would not read so");
    }
  }
  if (whole.last == Step::kRefuse) {
    switch (whole.status) {
      case 400:
      case 411:
      case 413:
      case 415:
      case 431:
      case 501:
        break;
      default:
        Finding("a refusal with an unexpected status");
    }
  }
  return 0;
}
