// Requests whose end a proxy in front and this server could find in
// different places: each is refused with its status, the connection closes,
// and a request hidden after its header (smuggled in what a proxy took for
// its body) is never answered.
#include <string>
#include <thread>

#include "RawHttp.h"
#include "ServiceFixture.h"

namespace HttpTesting {
namespace {

const std::string kHead = "POST /zel HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml\r\n" + kAction;
const std::string kHead10 = "POST /zel HTTP/1.0\r\nHost: x\r\nContent-Type: text/xml\r\n" + kAction;
const std::string kSmuggled = PostRequest("/zel", kRetrieveContent, "text/xml", kAction);

std::string Chunked(const std::string& body) {
  char size[32];
  snprintf(size, sizeof size, "%zx\r\n", body.size());
  return size + body + "\r\n0\r\n\r\n";
}

// Sends request followed by a whole second request on one connection: the
// first is answered with status, the second not at all.
void ExpectRefusedAndNothingMore(int port, const std::string& request, int status) {
  RawConnection connection(port);
  ASSERT_TRUE(connection.Send(request + kSmuggled));
  RawAnswer answer = connection.Read();
  EXPECT_EQ(answer.status, status) << answer.body;
  EXPECT_FALSE(answer.keepAlive);
  EXPECT_EQ(connection.Read().status, -1) << "the request after the refused one was answered";
}

TEST_F(HttpServiceTest, TransferCodingsOtherThanChunkedAloneAreNotImplemented) {
  for (const char* coding : {"xchunked", "identity", "chunked, identity", "gzip, chunked",
                             "chunked;x=1", "chunked, chunked"}) {
    SCOPED_TRACE(coding);
    ExpectRefusedAndNothingMore(Port(), kHead + "Transfer-Encoding: " + coding + "\r\n\r\n", 501);
  }
  // Split over two lines, and before a Content-Length a proxy might prefer.
  ExpectRefusedAndNothingMore(
      Port(), kHead + "Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n", 501);
  ExpectRefusedAndNothingMore(
      Port(), kHead + "Transfer-Encoding: identity\r\nContent-Length: 0\r\n\r\n", 501);
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send(kHead + "Transfer-Encoding: gzip, chunked\r\n\r\n"));
  RawAnswer refused = connection.Read();
  EXPECT_NE(refused.body.find("\"gzip, chunked\" is not supported: only chunked alone is"),
            std::string::npos)
      << refused.body;
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, ChunkedAloneIsReadInAnyCaseAndTheConnectionKeptAlive) {
  for (const char* coding : {"chunked", "Chunked", " CHUNKED ", "chunked,"}) {
    SCOPED_TRACE(coding);
    RawConnection connection(Port());
    ASSERT_TRUE(connection.Send(kHead + "Transfer-Encoding: " + coding + "\r\n\r\n" +
                                Chunked(kRetrieveContent) + kSmuggled));
    RawAnswer first = connection.Read();
    EXPECT_EQ(first.status, 200) << first.body;
    EXPECT_TRUE(first.keepAlive);
    EXPECT_EQ(connection.Read().status, 200);
  }
}

TEST_F(HttpServiceTest, ChunkSizeLinesAreReadStrictly) {
  const std::string head = kHead + "Transfer-Encoding: chunked\r\n\r\n";
  char size[16];
  snprintf(size, sizeof size, "%zx", kRetrieveContent.size());
  // Extensions are ignored; the chunks' data is the body.
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send(head + size + ";name=\"a value\"\r\n" + kRetrieveContent +
                              "\r\n0;last\r\nX-Trailer: t\r\n\r\n" + kSmuggled));
  EXPECT_EQ(connection.Read().status, 200);
  EXPECT_EQ(connection.Read().status, 200);
  // A size line with a control character, a bare CR, no digits, or over 1 KiB;
  // data not ended by CR LF.
  for (const std::string& body :
       {std::string(size) + ";x\x01y\r\n" + kRetrieveContent + "\r\n0\r\n\r\n",
        std::string(size) + ";x\ry\r\n" + kRetrieveContent + "\r\n0\r\n\r\n",
        std::string(";x\r\n0\r\n\r\n"), std::string(size) + ";" + std::string(2000, 'x') + "\r\n",
        std::string(size) + "\r\n" + kRetrieveContent + "XX0\r\n\r\n"}) {
    ExpectRefusedAndNothingMore(Port(), head + body, 400);
  }
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, FoldedHeaderLinesAreRefused) {
  ExpectRefusedAndNothingMore(Port(), kHead + "X-Note: a\r\n b\r\nContent-Length: 0\r\n\r\n", 400);
  ExpectRefusedAndNothingMore(Port(), kHead + "Transfer-Encoding:\r\n\tchunked\r\n\r\n", 400);
  // A line that starts with a blank right after the request line.
  ExpectRefusedAndNothingMore(Port(), "POST /zel HTTP/1.1\r\n Host: x\r\nContent-Length: 0\r\n\r\n",
                              400);
  // The fold arriving in pieces, its line break split between them.
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send(kHead + "X-Note: a\r"));
  std::this_thread::yield();
  ASSERT_TRUE(connection.Send("\n"));
  std::this_thread::yield();
  connection.Send(" b\r\nContent-Length: 0\r\n\r\n" + kSmuggled);
  RawAnswer answer = connection.Read();
  EXPECT_EQ(answer.status, 400);
  EXPECT_NE(answer.body.find("folded"), std::string::npos) << answer.body;
  EXPECT_EQ(connection.Read().status, -1);
  // Blanks inside a value, and a body that starts with one, are no fold.
  RawAnswer plain =
      Post(Port(), "/zel", kRetrieveContent, "text/xml", kAction + "X-Note: a \t b\r\n");
  EXPECT_EQ(plain.status, 200);
  EXPECT_EQ(Post(Port(), "/zel", " " + kRetrieveContent, "text/xml", kAction).status, 200);
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, HeaderLinesEndInCarriageReturnLineFeedOnly) {
  // Refused whether the header comes at once or byte by byte: the parser
  // alone answers the two differently.
  for (const std::string& line : {std::string("X-Note: a\nContent-Length: 0\r\n"),
                                  std::string("X-Note: a\rb\r\nContent-Length: 0\r\n")}) {
    ExpectRefusedAndNothingMore(Port(), kHead + line + "\r\n", 400);
    RawConnection connection(Port());
    for (char c : kHead + line + "\r\n" + kSmuggled) {
      if (!connection.Send(std::string(1, c))) break;
    }
    RawAnswer answer = connection.Read();
    EXPECT_EQ(answer.status, 400) << answer.body;
    EXPECT_EQ(connection.Read().status, -1);
  }
  EXPECT_TRUE(StillServes());
}

TEST_F(HttpServiceTest, APostWithoutALengthNeedsOne) {
  // The XML body after the header is not read as a request either.
  ExpectRefusedAndNothingMore(Port(), kHead10 + "\r\n" + kRetrieveContent, 411);
  ExpectRefusedAndNothingMore(Port(), kHead + "\r\n", 411);
  ExpectRefusedAndNothingMore(Port(), "PUT /zel HTTP/1.1\r\nHost: x\r\n\r\n", 411);
  // HTTP/1.0 has no chunked coding.
  ExpectRefusedAndNothingMore(
      Port(), kHead10 + "Transfer-Encoding: chunked\r\n\r\n" + Chunked(kRetrieveContent), 400);
  // An HTTP/1.0 POST with a length, and a GET without one, are served.
  RawConnection connection(Port());
  ASSERT_TRUE(connection.Send(kHead10 +
                              "Content-Length: " + std::to_string(kRetrieveContent.size()) +
                              "\r\n\r\n" + kRetrieveContent));
  EXPECT_EQ(connection.Read().status, 200);
  RawConnection get(Port());
  ASSERT_TRUE(get.Send("GET /nowhere HTTP/1.1\r\nHost: x\r\n\r\n"));
  EXPECT_EQ(get.Read().status, 404);
  EXPECT_TRUE(StillServes());
}

}  // namespace
}  // namespace HttpTesting
