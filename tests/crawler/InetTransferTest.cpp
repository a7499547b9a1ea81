// What one request through the libcurl transfer component delivers: states,
// body, headers, redirects, and how it fails.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "InetFixture.h"
#include "core/Version.h"
#include "crawler/InetStates.h"

namespace zorvik::inettest {
namespace {

bool Ascending(const std::vector<std::int16_t>& s) {
  return std::adjacent_find(s.begin(), s.end(), [](auto a, auto b) { return a >= b; }) == s.end();
}

int Terminals(const std::vector<std::int16_t>& s) {
  return static_cast<int>(std::count_if(s.begin(), s.end(), [](auto x) { return x == 11 || x == 12; }));
}

TEST_F(InetTest, ANormalRequestRaisesEveryStateInOrderAndHandsOutTheBody) {
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, server.Url("/page"));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_EQ(inet.ResponseInfo(), "HTTP/1.1 200 OK");
  EXPECT_EQ(inet.StatusCode(), 200);
  EXPECT_EQ(ReadAll(inet, 1024), "<html><body>hello</body></html>");
  EXPECT_EQ(inet.GetChunk(1024, Inet::kText), "") << "the end stays the end";
  EXPECT_FALSE(inet.StillExecuting());
  EXPECT_EQ(InetStateText(states[6]), "Receiving Response");
}

TEST_F(InetTest, AnEmptyBodyIsACompletedResponseWithNoPieces) {
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, server.Url("/empty"));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_EQ(inet.GetChunk(1024, Inet::kText), "");
}

TEST_F(InetTest, ARefusedConnectionEndsInErrorWithCannotConnect) {
  CurlInet inet(host, Quick());
  Record(inet);
  const std::string url = "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/page";
  Run(inet, url);
  EXPECT_EQ(states.back(), 11);
  EXPECT_EQ(Terminals(states), 1);
  EXPECT_TRUE(Ascending(states));
  EXPECT_LT(*std::max_element(states.begin(), states.end() - 1), 4) << "never connected";
  EXPECT_EQ(inet.ResponseInfo(), "Cannot connect");
  EXPECT_EQ(inet.StatusCode(), 0);
  EXPECT_EQ(inet.GetChunk(1024, Inet::kText), "");
}

TEST_F(InetTest, AConnectionThatCannotBeSetUpInTimeIsCannotConnectToo) {
  InetSettings s = Quick();
  s.connectTimeout = 200ms;
  s.stallTimeout = 50ms;  // governs only once connected
  CurlInet inet(host, s);
  Record(inet);
  testing::UnresponsiveListener deaf;
  const auto start = std::chrono::steady_clock::now();
  Run(inet, "http://127.0.0.1:" + std::to_string(deaf.Port()) + "/");
  EXPECT_EQ(states.back(), 11);
  EXPECT_EQ(inet.ResponseInfo(), "Cannot connect");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(InetTest, ResponseTextDescribesTheLastFinishedRequestUntilTheNextOneEnds) {
  // The page fetcher's header probe waits for "Cannot connect" while the
  // next request runs; the text must not be wiped when that request starts.
  CurlInet inet(host, Quick());
  std::vector<std::string> seen;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    seen.push_back(inet.ResponseInfo());
  };
  Run(inet, server.Url("/page"));
  seen.clear();
  Run(inet, "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/");
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front(), "HTTP/1.1 200 OK") << "at state 1 of the failing request";
  EXPECT_EQ(seen.back(), "Cannot connect");
}

struct ChunkCase {
  const char* path;
  std::size_t chunk;
};

class InetChunkTest : public InetTest, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(InetChunkTest, PiecesReassembleByteExactAndNeverExceedTheSize) {
  const ChunkCase c = GetParam();
  const std::string expected =
      std::string(c.path) == "/text" ? TextBody(300'000) : BinaryBody(3'000'000);
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, server.Url(c.path));
  ASSERT_EQ(states, kFullSequence);
  std::size_t largest = 0;
  const std::string got = ReadAll(inet, c.chunk, &largest);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected) << "body differs";
  EXPECT_LE(largest, c.chunk);
}

INSTANTIATE_TEST_SUITE_P(Sizes, InetChunkTest,
                         ::testing::Values(ChunkCase{"/text", 1}, ChunkCase{"/text", 1024},
                                           ChunkCase{"/binary", 1024},
                                           ChunkCase{"/binary", 4096},
                                           ChunkCase{"/binary", 1 << 20},
                                           ChunkCase{"/binary", 10'000'000}));

TEST_F(InetTest, HeadersAreFoundWhateverTheCaseOfTheirName) {
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, server.Url("/headers"));
  EXPECT_EQ(inet.GetHeader("Content-type"), "text/html; charset=ISO-8859-1");
  EXPECT_EQ(inet.GetHeader("CONTENT-TYPE"), "text/html; charset=ISO-8859-1");
  EXPECT_EQ(inet.GetHeader("content-type"), "text/html; charset=ISO-8859-1");
  EXPECT_EQ(inet.GetHeader("X-Repeated"), "second") << "the last occurrence wins";
  EXPECT_EQ(inet.GetHeader("X-Absent"), "");
  EXPECT_EQ(inet.GetHeader("Content"), "") << "no prefix matches";
  const std::string all = inet.GetHeader("");
  EXPECT_EQ(all.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << all;
  EXPECT_NE(all.find("X-Repeated: first\r\n"), std::string::npos);
}

TEST_F(InetTest, ABodyCutShortIsAnErrorNotACompletedPage) {
  testing::RawHttpPeer peer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                            "Content-Length: 1000\r\n\r\n<html>only the start");
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, peer.Url("/"));
  EXPECT_EQ(states.back(), 11);
  EXPECT_EQ(Terminals(states), 1);
  EXPECT_FALSE(inet.ResponseInfo().empty());
  EXPECT_EQ(inet.GetChunk(1024, Inet::kText), "") << "a cut page was handed out";
}

TEST_F(InetTest, OddButValidHeadersAreReadAndNonsenseIsAnError) {
  {
    testing::RawHttpPeer peer("HTTP/1.1 200 OK\r\ncontent-TYPE:text/html;\r\n\t charset=utf-8\r\n"
                              "X-Spaced :  padded value  \r\nContent-Length: 2\r\n\r\nok");
    CurlInet inet(host, Quick());
    Record(inet);
    Run(inet, peer.Url("/"));
    EXPECT_EQ(states, kFullSequence) << inet.ResponseInfo();
    EXPECT_EQ(inet.GetHeader("Content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(inet.GetHeader("x-spaced"), "padded value");
    EXPECT_EQ(ReadAll(inet, 1024), "ok");
  }
  testing::RawHttpPeer nonsense("SSH-2.0-OpenSSH_9.2\r\n\r\n");
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, nonsense.Url("/"));
  EXPECT_EQ(states.back(), 11);
  EXPECT_FALSE(inet.ResponseInfo().empty());
}

TEST_F(InetTest, RedirectsAreFollowedAndOnlyTheFinalResponseCounts) {
  CurlInet inet(host, Quick());
  std::string urlAtConnected;
  std::string urlAtCompleted;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 4) urlAtConnected = inet.URL();
    if (s == 12) urlAtCompleted = inet.URL();
  };
  const std::string start = server.Url("/hop/3");
  Run(inet, start);
  EXPECT_EQ(states, kFullSequence) << "one request, one run of states, however many hops";
  EXPECT_EQ(urlAtConnected, start);
  EXPECT_EQ(urlAtCompleted, server.Url("/landing"));
  EXPECT_EQ(inet.URL(), server.Url("/landing"));
  EXPECT_EQ(inet.StatusCode(), 200);
  EXPECT_EQ(inet.GetHeader("X-Landing"), "yes");
  EXPECT_EQ(inet.GetHeader("X-Hop"), "") << "headers of a redirect leaked into the final set";
  EXPECT_EQ(inet.GetHeader("Set-Cookie"), "");
  EXPECT_EQ(inet.GetHeader("Content-Type"), "text/html");
  EXPECT_EQ(ReadAll(inet, 1024), "<html>landed</html>");
}

TEST_F(InetTest, WithoutARedirectTheAddressStaysExactlyAsGiven) {
  // The page fetcher removes ":80" from this text and records it; it must
  // not come back normalised (a "/" added, the host lowercased).
  CurlInet inet(host, Quick());
  Record(inet);
  const std::string given = server.Url("");
  Run(inet, given);
  EXPECT_EQ(states.back(), 12);
  EXPECT_EQ(inet.URL(), given);
  EXPECT_EQ(ReadAll(inet, 1024), "<html>root</html>");
}

TEST_F(InetTest, TenRedirectsAreFollowedButALoopEndsInError) {
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, server.Url("/hop/10"));
  EXPECT_EQ(states.back(), 12);
  Run(inet, server.Url("/hop/11"));
  EXPECT_EQ(states.back(), 11);
  Run(inet, server.Url("/loop"));
  EXPECT_EQ(states.back(), 11);
  EXPECT_EQ(Terminals(states), 1);
  EXPECT_NE(inet.ResponseInfo().find("redirects"), std::string::npos) << inet.ResponseInfo();
  EXPECT_EQ(inet.StatusCode(), 0);
  EXPECT_EQ(inet.GetChunk(1024, Inet::kText), "");
}

TEST_F(InetTest, RedirectsToOtherSchemesAreRefused) {
  CurlInet inet(host, Quick());
  Record(inet);
  for (const char* path : {"/to-ftp", "/to-file"}) {
    Run(inet, server.Url(path));
    EXPECT_EQ(states.back(), 11) << path;
    EXPECT_EQ(inet.ResponseInfo(), "Only http and https addresses can be fetched") << path;
    EXPECT_EQ(inet.GetChunk(1024, Inet::kText), "") << path;
  }
}

TEST_F(InetTest, AnHttpErrorIsACompletedResponseWithTheServersPage) {
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, server.Url("/missing"));
  EXPECT_EQ(states, kFullSequence);
  EXPECT_EQ(inet.StatusCode(), 404);
  EXPECT_EQ(inet.ResponseInfo(), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(ReadAll(inet, 1024), "<h1>Not here</h1>");
  Run(inet, server.Url("/broken"));
  EXPECT_EQ(states.back(), 12);
  EXPECT_EQ(inet.StatusCode(), 500);
  EXPECT_EQ(ReadAll(inet, 1024), "<h1>Server trouble</h1>");
}

TEST_F(InetTest, CompressedBodiesAreDecoded) {
  CurlInet inet(host, Quick());
  Record(inet);
  for (const char* path : {"/gzip", "/deflate"}) {
    Run(inet, server.Url(path));
    EXPECT_EQ(inet.StatusCode(), 200) << path << ": the coding was not offered";
    const std::string body = ReadAll(inet, 1024);
    EXPECT_EQ(body.size(), 100'000u) << path;
    EXPECT_TRUE(body == TextBody(100'000)) << path;
  }
}

TEST_F(InetTest, TheUserAgentNamesTheProgramAndItsVersion) {
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, server.Url("/agent"));
  EXPECT_EQ(ReadAll(inet, 1024), std::string("Zorvik/") + kVersion);
}

TEST_F(InetTest, ABodyLargerThanTheLimitEndsInErrorHoweverItArrives) {
  InetSettings s = Quick();
  s.maxBodyBytes = 99'999;
  CurlInet inet(host, s);
  Record(inet);
  // announced length, chunked stream, and a small compressed body that
  // decodes to far more than the limit
  for (const char* path : {"/sized", "/streamed", "/bomb"}) {
    Run(inet, server.Url(path));
    EXPECT_EQ(states.back(), 11) << path;
    EXPECT_EQ(Terminals(states), 1) << path;
    EXPECT_EQ(inet.ResponseInfo(), "Response larger than the limit of 99999 bytes") << path;
    EXPECT_EQ(inet.GetChunk(1 << 20, Inet::kBytes), "") << path << ": a cut body was handed out";
  }
  s.maxBodyBytes = 100'000;
  inet.SetSettings(s);
  for (const char* path : {"/sized", "/streamed"}) {
    Run(inet, server.Url(path));
    EXPECT_EQ(states.back(), 12) << path << ": a body of exactly the limit is fine";
    EXPECT_EQ(ReadAll(inet, 1 << 20).size(), 100'000u) << path;
  }
}

TEST_F(InetTest, AServerThatStopsSendingEndsInErrorAfterTheStallTime) {
  InetSettings s = Quick();
  s.stallTimeout = 300ms;
  CurlInet inet(host, s);
  Record(inet);
  for (const char* path : {"/stall", "/silent"}) {
    const auto start = std::chrono::steady_clock::now();
    Run(inet, server.Url(path));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(states.back(), 11) << path;
    EXPECT_EQ(Terminals(states), 1) << path;
    EXPECT_EQ(inet.ResponseInfo(), "No data received for 0.3 s") << path;
    EXPECT_GE(took, 300ms) << path;
    EXPECT_LT(took, 2s) << path;
    EXPECT_EQ(inet.GetChunk(1 << 20, Inet::kText), "") << path;
  }
}

TEST_F(InetTest, UntrustedAddressesEndInErrorAndNeverReachTheNetwork) {
  CurlInet inet(host, Quick());
  Record(inet);
  const std::string port = std::to_string(server.Port());
  const std::vector<std::string> bad = {
      "",
      "ftp://127.0.0.1:" + port + "/",
      "file:///etc/passwd",
      "javascript:alert(1)",
      "mailto:someone@example.com",
      "gopher://127.0.0.1:" + port + "/",
      "http://",
      "http://127.0.0.1:99999/",
      "http://[::1/",
      std::string("http://127.0.0.1:") + port + "/page\r\nX-Injected: 1",
      std::string("http://127.0.0.1:") + port + "/page" + std::string(1, '\0') + "tail",
  };
  for (const auto& url : bad) {
    Run(inet, url);
    EXPECT_EQ(states, (std::vector<std::int16_t>{1, 11})) << url;
    EXPECT_FALSE(inet.ResponseInfo().empty()) << url;
    EXPECT_NE(inet.ResponseInfo(), "Cannot connect") << url;
  }
  EXPECT_EQ(server.Requests(), 0u);
  Run(inet, "FILE:///etc/passwd");
  EXPECT_EQ(inet.ResponseInfo(), "Only http and https addresses can be fetched");
}

TEST_F(InetTest, AddressesWithoutSchemeOrWithSpacesAreFetchedAsBrowsersDo) {
  CurlInet inet(host, Quick());
  Record(inet);
  Run(inet, "127.0.0.1:" + std::to_string(server.Port()) + "/page");
  EXPECT_EQ(states.back(), 12);
  EXPECT_EQ(ReadAll(inet, 1024), "<html><body>hello</body></html>");
  Run(inet, server.Url("/with space"));
  EXPECT_EQ(states.back(), 12) << inet.ResponseInfo();
  EXPECT_EQ(ReadAll(inet, 1024), "spaced");
  Run(inet, server.Url("/page#a section"));
  EXPECT_EQ(states.back(), 12) << inet.ResponseInfo();
  EXPECT_EQ(ReadAll(inet, 1024), "<html><body>hello</body></html>");
  EXPECT_EQ(inet.URL(), server.Url("/page#a section"));
}

TEST_F(InetTest, OpenUrlReturnsTheWholeBodyWithoutRaisingStates) {
  CurlInet inet(host, Quick());
  Record(inet);
  EXPECT_EQ(inet.OpenURL(server.Url("/page"), Inet::kText), "<html><body>hello</body></html>");
  EXPECT_EQ(inet.OpenURL(server.Url("/binary"), Inet::kBytes), BinaryBody(3'000'000));
  EXPECT_EQ(inet.GetHeader("Content-Type"), "application/octet-stream");
  EXPECT_EQ(inet.StatusCode(), 200);
  EXPECT_EQ(inet.OpenURL(server.Url("/hop/2"), Inet::kText), "<html>landed</html>");
  EXPECT_EQ(inet.URL(), server.Url("/landing"));
  EXPECT_TRUE(states.empty()) << "OpenURL raised states";
  EXPECT_FALSE(inet.StillExecuting());

  const std::string refused = "http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/";
  EXPECT_EQ(inet.OpenURL(refused, Inet::kBytes), "");
  EXPECT_EQ(inet.ResponseInfo(), "Cannot connect");
  EXPECT_EQ(inet.OpenURL("ftp://127.0.0.1/", Inet::kBytes), "");
  EXPECT_EQ(inet.ResponseInfo(), "Only http and https addresses can be fetched");
  EXPECT_TRUE(states.empty());
}

// A certificate for 127.0.0.1 made for the test, or nothing when openssl is missing.
bool MakeCertificate(const std::filesystem::path& dir) {
  const std::string cmd = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                          "-nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 "
                          "-keyout '" + (dir / "key.pem").string() + "' -out '" +
                          (dir / "cert.pem").string() + "' >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

TEST_F(InetTest, HttpsIsVerifiedAgainstTheTrustedAuthorities) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("zorvik-inet-tls-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  if (!MakeCertificate(dir)) {
    std::filesystem::remove_all(dir);
    GTEST_SKIP() << "openssl is not available";
  }
  const std::string cert = (dir / "cert.pem").string();
  testing::TestHttpServer tls(
      std::make_unique<httplib::SSLServer>(cert.c_str(), (dir / "key.pem").string().c_str()));
  tls.Routes().Get("/secret", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("over tls", "text/plain");
  });
  tls.Start();
  {
    CurlInet inet(host, Quick());
    Record(inet);
    Run(inet, tls.Url("/secret"));
    EXPECT_EQ(states.back(), 11) << "a certificate nobody vouches for was accepted";
    EXPECT_NE(inet.ResponseInfo(), "Cannot connect");
    EXPECT_FALSE(inet.ResponseInfo().empty());

    InetSettings s = Quick();
    s.caFile = cert;
    inet.SetSettings(s);
    Run(inet, tls.Url("/secret"));
    EXPECT_EQ(states, kFullSequence) << inet.ResponseInfo();
    EXPECT_EQ(ReadAll(inet, 1024), "over tls");
  }
  tls.Stop();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zorvik::inettest
