// The server's limits under hostile peers: each abuse gets its limit or
// refusal, and a normal conversation is served afterwards (and meanwhile).
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "RawHttp.h"
#include "ServiceFixture.h"

namespace HttpTesting {
namespace {

std::string Chunk(const std::string& data) {
  char size[32];
  snprintf(size, sizeof size, "%zx\r\n", data.size());
  return size + data + "\r\n";
}

const std::string kChunkedHead = "POST /zel HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml\r\n" +
                                 kAction + "Transfer-Encoding: chunked\r\n\r\n";

TEST_F(HttpServiceTest, AChunkedBodyOverTheLimitIsRefused) {
  // 64 KiB allowed; 80 KiB in chunks, then the end.
  RawConnection connection(Port());
  std::string request = kChunkedHead;
  for (int i = 0; i < 20; ++i) request += Chunk(std::string(4096, 'x'));
  request += "0\r\n\r\n";
  connection.Send(request);
  EXPECT_EQ(connection.Read().status, 413);
  EXPECT_TRUE(connection.WaitForClose());
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, EndlessChunksAreCutOffAtTheLimit) {
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send(kChunkedHead));
  // Keep sending until the server refuses; it must do so near the limit.
  size_t sent = 0;
  const std::string chunk = Chunk(std::string(8192, 'y'));
  while (sent < 16 * 1024 * 1024 && connection.Send(chunk)) sent += 8192;
  EXPECT_LT(sent, 16u * 1024u * 1024u) << "the server took 16 MiB of chunks";
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, CompressedBodiesAreRefusedWith415) {
  // A gzip body would inflate past any limit: the server does not inflate.
  for (const char* encoding : {"gzip", "deflate", "br, identity"}) {
    RawAnswer answer = Post(Port(), "/zel", std::string("\x1f\x8b\x08\x00", 4), "text/xml",
                            kAction + "Content-Encoding: " + encoding + "\r\n");
    EXPECT_EQ(answer.status, 415) << encoding;
  }
  RawAnswer identity = Post(Port(), "/zel", kRetrieveContent, "text/xml",
                            kAction + "Content-Encoding: identity\r\n");
  EXPECT_EQ(identity.status, 200);
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, HeadersOverTheLimitAreRefusedWith431) {
  RawAnswer answer = Post(Port(), "/zel", kRetrieveContent, "text/xml",
                          kAction + "X-Padding: " + std::string(20 * 1024, 'p') + "\r\n");
  EXPECT_EQ(answer.status, 431);
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, SlowAndIdleConnectionsDoNotBlockOthersAndSlowOnesAreCut) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.readTimeout = std::chrono::seconds(1);
  settings.maxConnectionsPerPeer = 64;
  Restart(settings);
  // Eight clients that start a request and never finish it, and 200 that
  // connect and send nothing (more than one peer may have: the oldest idle
  // ones make room).
  std::vector<std::unique_ptr<RawConnection>> slow;
  for (int i = 0; i < 8; ++i) {
    slow.push_back(std::make_unique<RawConnection>(Port()));
    ASSERT_TRUE(slow.back()->Send("POST /zel HTTP/1.1\r\nHost: x\r\nX-Slow: "));
  }
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < 200; ++i) idle.push_back(std::make_unique<RawConnection>(Port()));
  EXPECT_TRUE(StillServes());
  EXPECT_LE(server->GetConnectionCount(), 64u);
  // A request must arrive whole within the read timeout: the slow ones are
  // closed however they trickle.
  for (auto& connection : slow) {
    connection->Send("a");
    EXPECT_TRUE(connection->WaitForClose());
  }
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, KeptAliveConnectionsAreCutAtTheirDeadlinesCallAfterCall) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.readTimeout = std::chrono::seconds(1);
  settings.idleTimeout = std::chrono::seconds(2);
  Restart(settings);
  std::string call = PostRequest("/zel", kRetrieveContent, "text/xml", kAction);
  // Prompt calls for longer than the read timeout: each deadline moves on,
  // and none of the earlier ones cuts the connection.
  RawConnection busy(Port());
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  int calls = 0;
  while (std::chrono::steady_clock::now() < until) {
    ASSERT_TRUE(busy.Send(call));
    RawAnswer answer = busy.Read();
    ASSERT_EQ(answer.status, 200) << "call " << calls;
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  // Then a request that never finishes: the read deadline, earlier than the
  // idle one before it, cuts it.
  ASSERT_TRUE(busy.Send("POST /zel HTTP/1.1\r\nHost: x\r\n"));
  EXPECT_TRUE(busy.WaitForClose());
  // A connection idle after its calls is closed at the idle timeout.
  RawConnection idle(Port());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(idle.Send(call));
    ASSERT_EQ(idle.Read().status, 200);
  }
  EXPECT_TRUE(idle.WaitForClose());
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, ManySimultaneousConnectsAreAllServed) {
  constexpr int kConnections = 250;
  std::vector<std::unique_ptr<RawConnection>> connections;
  for (int i = 0; i < kConnections; ++i) {
    connections.push_back(std::make_unique<RawConnection>(Port()));
  }
  int answered = 0;
  for (auto& connection : connections) {
    connection->Send(PostRequest("/zel", kRetrieveContent, "text/xml", kAction));
  }
  for (auto& connection : connections) answered += connection->Read().status == 200 ? 1 : 0;
  EXPECT_EQ(answered, kConnections);
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, ConnectionsOverTheLimitWithNoneIdleAreRefused) {
  // Four connections, each with a call held in the handler: none is idle.
  std::atomic<int> entered{0};
  std::atomic<bool> release{false};
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.maxConnections = 4;
  // The refused connection reaches the request log as a refusal.
  std::atomic<int> refusalsLogged{0};
  settings.requestLog = [&](const ZelHttp::RequestRecord& record) {
    if (record.status == 503 && record.refusal == "too many connections now") ++refusalsLogged;
  };
  server.reset();
  server = std::make_unique<ZelHttp::HttpServer>(
      [&](const Lumo::Wire::TransportRequest& request, Lumo::Wire::TransportResponse& response) {
        ++entered;
        while (!release) std::this_thread::yield();
        endpoint->Handle(request, response);
      },
      settings);
  server->Start();
  std::vector<std::unique_ptr<RawConnection>> busy;
  for (int i = 0; i < 4; ++i) {
    busy.push_back(std::make_unique<RawConnection>(Port()));
    busy.back()->Send(PostRequest("/zel", kRetrieveContent, "text/xml", kAction));
  }
  while (entered < 4) std::this_thread::yield();
  RawConnection refused(Port());
  EXPECT_EQ(refused.Read().status, 503);
  EXPECT_EQ(refusalsLogged, 1);
  release = true;
  for (auto& connection : busy) EXPECT_EQ(connection->Read().status, 200);
  busy.clear();
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, PipelinedRequestsAreAnsweredInOrder) {
  RawConnection connection(Port());
  std::string bad = PostRequest("/zel", "not xml", "text/xml", kAction);
  std::string good = PostRequest("/zel", kRetrieveContent, "text/xml", kAction);
  std::string get = "GET /nowhere HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_TRUE(connection.Send(good + bad + get + good));
  RawAnswer first = connection.Read();
  RawAnswer second = connection.Read();
  RawAnswer third = connection.Read();
  RawAnswer fourth = connection.Read();
  EXPECT_EQ(first.status, 200);
  EXPECT_NE(first.body.find("ZelRetrieveServiceContentResponse"), std::string::npos);
  EXPECT_EQ(second.status, 500);
  EXPECT_NE(second.body.find("malformed"), std::string::npos);
  EXPECT_EQ(third.status, 404);
  EXPECT_EQ(fourth.status, 200);
  EXPECT_TRUE(fourth.keepAlive);
}

// An answer is written at once as far as the socket takes it and the rest
// when the peer reads: a client that reads late gets the whole of an answer
// far over the socket's buffers, and the connection serves on. A burst of
// pipelined requests read at once is answered whole and in order.
TEST_F(HttpServiceTest, AnswersOverTheSocketBufferAndPipelinedBurstsArriveWhole) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  const std::string large = [] {
    std::string text(8 * 1024 * 1024, ' ');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    return text;
  }();
  settings.getHandler = [&large](const std::string& target, std::string& contentType,
                                 std::string& body) {
    contentType = "text/plain";
    body = target == "/large" ? large : target;
    return true;
  };
  Restart(settings);
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send("GET /large HTTP/1.1\r\nHost: x\r\n\r\n"));
  // The server fills the socket and waits for it to drain.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  RawAnswer answer = connection.Read();
  ASSERT_EQ(answer.status, 200);
  EXPECT_TRUE(answer.body == large) << "an answer of " << answer.body.size() << " bytes";
  EXPECT_TRUE(answer.keepAlive);

  std::string burst;
  const int count = 1000;
  for (int i = 0; i < count; ++i)
    burst += "GET /" + std::to_string(i) + " HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_TRUE(connection.Send(burst));
  for (int i = 0; i < count; ++i) {
    RawAnswer page = connection.Read();
    ASSERT_EQ(page.status, 200) << "request " << i;
    ASSERT_EQ(page.body, "/" + std::to_string(i));
  }
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, ACallOnAKeptAliveConnectionCarriesNoBytesOfTheCallsBefore) {
  // Longer requests and answers first, then shorter ones: each is read and
  // answered as on a connection of its own.
  std::string longBad =
      PostRequest("/zel", "<x>" + std::string(32 * 1024, 'a'), "text/xml", kAction);
  std::string bad = PostRequest("/zel", "not xml", "text/xml", kAction);
  std::string good = PostRequest("/zel", kRetrieveContent, "text/xml", kAction);
  RawConnection alone(Port());
  ASSERT_TRUE(alone.Send(bad));
  RawAnswer badAlone = alone.Read();
  ASSERT_TRUE(alone.Send(good));
  RawAnswer goodAlone = alone.Read();
  ASSERT_EQ(goodAlone.status, 200);
  ASSERT_LT(badAlone.body.size(), goodAlone.body.size());

  RawConnection kept(Port());
  for (const std::string* request : {&longBad, &good, &bad, &longBad, &good}) {
    ASSERT_TRUE(kept.Send(*request));
    RawAnswer answer = kept.Read();
    if (request == &good) {
      EXPECT_EQ(answer.status, 200);
      EXPECT_EQ(answer.body, goodAlone.body);
    } else {
      EXPECT_EQ(answer.status, 500);
      if (request == &bad) {
        EXPECT_EQ(answer.body, badAlone.body);
      }
    }
  }
}

TEST_F(HttpServiceTest, ExpectContinueIsHonoured) {
  RawConnection connection(Port());
  std::string request =
      PostRequest("/zel", kRetrieveContent, "text/xml", kAction + "Expect: 100-continue\r\n");
  size_t headerEnd = request.find("\r\n\r\n") + 4;
  ASSERT_TRUE(connection.Send(request.substr(0, headerEnd)));
  EXPECT_EQ(connection.Read().status, 100);
  ASSERT_TRUE(connection.Send(request.substr(headerEnd)));
  EXPECT_EQ(connection.Read().status, 200);
}

TEST_F(HttpServiceTest, StopFinishesTheCallInFlightAndClosesIdleConnections) {
  // A handler that waits until the test lets it go.
  std::atomic<bool> entered{false};
  std::atomic<bool> release{false};
  server.reset();
  server = std::make_unique<ZelHttp::HttpServer>(
      [&](const Lumo::Wire::TransportRequest& request, Lumo::Wire::TransportResponse& response) {
        entered = true;
        while (!release) std::this_thread::yield();
        endpoint->Handle(request, response);
      },
      TestSettings());
  server->Start();
  RawConnection idle(Port());
  RawConnection busy(Port());
  ASSERT_TRUE(busy.Send(PostRequest("/zel", kRetrieveContent, "text/xml", kAction)));
  while (!entered) std::this_thread::yield();
  std::thread stopper([&] { server->Stop(); });
  // The idle connection is closed at once, while the call is still held.
  EXPECT_TRUE(idle.WaitForClose());
  EXPECT_FALSE(release);
  release = true;
  RawAnswer answer = busy.Read();
  EXPECT_EQ(answer.status, 200);
  EXPECT_FALSE(answer.keepAlive);
  EXPECT_TRUE(busy.WaitForClose());
  stopper.join();
  EXPECT_EQ(server->GetConnectionCount(), 0u);
}

TEST_F(HttpServiceTest, ASecondServerOnTheSamePortIsRefused) {
  ZelHttp::HttpServerSettings settings = TestSettings();
  settings.port = Port();
  ZelHttp::HttpServer second([](auto&, auto&) {}, settings);
  try {
    second.Start();
    FAIL() << "a second server started on a taken port";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(StillServes());
}

}  // namespace
}  // namespace HttpTesting
