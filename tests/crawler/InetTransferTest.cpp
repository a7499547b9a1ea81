// What one request through the libcurl transfer component delivers: states,
// body, headers, redirects, and how it fails.

#include <filesystem>
#include <string>

#include "InetFixture.h"
#include "support/TestFiles.h"
#include "core/Version.h"

namespace zorvik::inettest {
namespace {

// Bodies come whole in pieces of the size asked for; every state is raised.
TEST_F(InetTest, CompletedResponsesRaiseEveryStateAndReuseOneConnection) {
  std::string infoAtStart, urlAtConnected;
  inet.StateChanged = [&](std::int16_t s) {
    states.push_back(s);
    if (s == 1) infoAtStart = inet.ResponseInfo();
    if (s == 4) urlAtConnected = inet.URL();
  };
  const std::string ok = "HTTP/1.1 200 OK";
  struct Case {
    std::string url, body;
    std::string info = "HTTP/1.1 200 OK";
    std::size_t chunk = 1024;  // read in pieces of at most this size
  };
  const std::string page = server.Url("/page");
  const std::vector<Case> cases = {
      {server.Url(""), kHello},  // the address is kept exactly as given, not normalised
      {server.Url("/empty"), ""},
      {server.Url("/missing"), "<h1>Not here</h1>", "HTTP/1.1 404 Not Found"},
      {server.Url("/hop/10"), "<html>landed</html>"},  // ten redirects: one run of states
      {server.Url("/gzip"), TextBody(100'000)},        // 406 unless the coding is offered
      {server.Url("/deflate"), TextBody(100'000)},
      {server.Url("/agent"), std::string("Zorvik/") + kVersion},
      {server.Url("/with space"), "spaced"},
      {server.Url("/page#a section"), kHello},  // the fragment is not sent
      {page.substr(7), kHello},                 // no scheme means http
      {"HTTP" + page.substr(4), kHello},
      {server.Url("/text"), TextBody(300'000), ok, 1},
      {server.Url("/binary"), BinaryBody(3'000'000), ok, 4096},
      {server.Url("/binary"), BinaryBody(3'000'000), ok, 10'000'000},
  };
  for (const Case& c : cases) {
    // The text of the previous request stays until this one ends: the page
    // fetcher's header probe waits on it while the next request runs.
    const std::string before = inet.ResponseInfo();
    Run(c.url);
    EXPECT_EQ(infoAtStart, before) << c.url;
    EXPECT_EQ(states, kFullSequence) << c.url;
    EXPECT_EQ(inet.ResponseInfo(), c.info) << c.url;
    EXPECT_EQ(inet.StatusCode(), std::stoi(c.info.substr(9))) << c.url;
    std::size_t largest = 0;
    EXPECT_TRUE(ReadAll(c.chunk, &largest) == c.body) << c.url;
    EXPECT_LE(largest, c.chunk);
    // Once a redirect is followed: the address it led to, and its headers only.
    EXPECT_EQ(urlAtConnected, c.url);
    EXPECT_EQ(inet.URL(), c.url.find("/hop/") == c.url.npos ? c.url : server.Url("/landing"));
    EXPECT_EQ(inet.GetHeader("x-hop"), "") << c.url;
    EXPECT_NE(inet.GetHeader("content-LENGTH"), "") << c.url;
    EXPECT_FALSE(inet.StillExecuting());
  }
  EXPECT_EQ(server.Connections(), 1u);
}

TEST_F(InetTest, FailedRequestsEndOnceInErrorWithTheReason) {
  InetSettings s;
  s.connectTimeout = 400ms;
  s.stallTimeout = 150ms;  // counts only once connected: a slow set-up is "Cannot connect"
  s.maxBodyBytes = 99'999;
  s.minBytesPerSecond = 100;  // /trickle sends 20, /stream 40,000
  s.minRateWindow = 300ms;
  s.maxTransferTime = 1s;
  inet.SetSettings(s);
  Run(testing::RefusedUrl());
  ExpectFailed("Cannot connect");
  EXPECT_LT(states.end()[-2], 4) << "a refused connection was reported as connected";

  testing::UnresponsiveListener deaf;
  testing::RawHttpPeer cut("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<html>only the start");
  const std::string limit = "larger than the limit";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {deaf.Url(), "Cannot connect"},
      {cut.Url(), ""},
      {server.Url("/hop/11"), "redirects"},  // one more than the ten allowed
      {server.Url("/to-file"), "Only http and https addresses can be fetched"},
      {server.Url("/sized"), limit},  // announced length
      {server.Url("/bomb"), limit},   // a few kilobytes that decode to 4 MB
      {server.Url("/silent"), "No data received"},
      {server.Url("/trickle"), "Slower than 100 bytes a second over 0.3 s"},
      {server.Url("/stream"), "Took longer than 1 s"},
  };
  for (const auto& [url, info] : cases) {
    SCOPED_TRACE(url);
    const auto start = std::chrono::steady_clock::now();
    Run(url);
    ExpectFailed(info);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 2s);
    EXPECT_TRUE(url != server.Url("/silent") || took >= s.stallTimeout);
    EXPECT_TRUE(url != server.Url("/stream") || took >= s.maxTransferTime);
  }
  // Exactly the limit is fine, announced or found while decoding.
  s.maxBodyBytes = 100'000;
  inet.SetSettings(s);
  Run(server.Url("/sized"));
  EXPECT_TRUE(ReadAll(1 << 20) == BinaryBody(100'000));
  Run(server.Url("/gzip"));
  EXPECT_EQ(ReadAll(1 << 20).size(), 100'000u);
}

TEST_F(InetTest, UntrustedAddressesEndInErrorWithoutReachingTheNetwork) {
  const std::string page = server.Url("/page");
  for (const std::string& url :
       {std::string(), std::string("ftp://127.0.0.1/"), std::string("FILE:///etc/passwd"),
        std::string("javascript:alert(1)"), std::string("mailto:someone@example.com"),
        std::string("http://"), std::string("http://127.0.0.1:99999/"), std::string("http://[::1/"),
        page + "\r\nX-Injected: 1", page + std::string(1, '\0') + "tail"}) {
    Run(url);
    EXPECT_EQ(states, (States{1, 11})) << url;
    ExpectFailed("");
  }
}

TEST_F(InetTest, HeadersAreFoundWhateverTheCaseOfTheirName) {
  testing::RawHttpPeer peer(
      "HTTP/1.1 200 OK \r\ncontent-TYPE:text/html;\r\n\t charset=utf-8\r\nX-Repeated: first\r\n"
      "X-Spaced :  padded value  \r\nX-Repeated: second\r\nContent-Length: 2\r\n\r\nok");
  Run(peer.Url());
  EXPECT_EQ(states, kFullSequence) << inet.ResponseInfo();
  EXPECT_EQ(inet.ResponseInfo(), "HTTP/1.1 200 OK");
  for (const char* name : {"Content-Type", "CONTENT-TYPE", "content-type"})
    EXPECT_EQ(inet.GetHeader(name), "text/html; charset=utf-8") << name;  // a folded line
  EXPECT_EQ(inet.GetHeader("x-spaced"), "padded value");
  EXPECT_EQ(inet.GetHeader("X-Repeated"), "second") << "the last occurrence wins";
  EXPECT_EQ(inet.GetHeader("X-Absent"), "");
  EXPECT_EQ(inet.GetHeader("Content"), "") << "no prefix matches";
  const std::string all = inet.GetHeader("");
  EXPECT_EQ(all.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << all;
  EXPECT_NE(all.find("X-Repeated: first\r\n"), std::string::npos) << all;
  EXPECT_EQ(ReadAll(), "ok");
}

TEST_F(InetTest, OpenUrlReturnsTheWholeBodyWithoutRaisingStates) {
  EXPECT_TRUE(inet.OpenURL(server.Url("/binary"), Inet::kBytes) == BinaryBody(3'000'000));
  EXPECT_EQ(inet.GetHeader("Content-Type"), "application/octet-stream");
  EXPECT_EQ(inet.OpenURL(server.Url("/hop/2")), "<html>landed</html>");
  EXPECT_EQ(inet.URL(), server.Url("/landing"));
  EXPECT_EQ(inet.StatusCode(), 200);
  EXPECT_EQ(inet.OpenURL(testing::RefusedUrl()), "");
  EXPECT_EQ(inet.ResponseInfo(), "Cannot connect");
  EXPECT_FALSE(inet.StillExecuting());
}

TEST_F(InetTest, HttpsIsVerifiedAgainstTheTrustedAuthorities) {
  const testing::TempDir dir;
  const std::string cert = (dir.path() / "cert.pem").string(), key = (dir.path() / "key.pem").string();
  const std::string make = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                           "-nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 "
                           "-keyout '" + key + "' -out '" + cert + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "openssl is not available";
  tls = std::make_unique<testing::TestHttpServer>(
      std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str()), "https");
  AddPages(*tls);
  tls->Start();
  Run(tls->Url("/page"));
  ExpectFailed("");  // a certificate nobody vouches for
  InetSettings s;
  s.caFile = cert;
  inet.SetSettings(s);
  Run(tls->Url("/page"));
  EXPECT_EQ(states, kFullSequence) << inet.ResponseInfo();
  EXPECT_EQ(ReadAll(), kHello);
}

}  // namespace
}  // namespace zorvik::inettest
