// The pages the local test server answers with.

#include <zlib.h>

#include <thread>

#include "InetFixture.h"

namespace zorvik::inettest {

std::string TextBody(std::size_t size) {
  std::string s;
  for (int line = 0; s.size() < size; ++line)
    s += "Zeile " + std::to_string(line) + ": gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln\r\n";
  s.resize(size);
  return s;
}

std::string BinaryBody(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 2654435761u) >> 13);
  return s;
}

namespace {

std::string Compress(const std::string& data, bool gzip) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, gzip ? 15 + 16 : 15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

void AddPages(testing::TestHttpServer& server) {
  using httplib::Request;
  using httplib::Response;
  httplib::Server& s = server.Routes();
  // Bodies the server must not compress on its own go out with a made-up type.
  const auto fixed = [&s](const char* path, std::string body, const char* type) {
    s.Get(path, [body, type](const Request&, Response& res) { res.set_content(body, type); });
  };
  fixed("/", kHello, "text/html");
  fixed("/page", kHello, "text/html");
  fixed("/empty", "", "text/html");
  fixed("/text", TextBody(300'000), "application/x-test-text");
  static const std::string binary = BinaryBody(3'000'000);
  fixed("/binary", binary, "application/octet-stream");
  fixed("/with space", "spaced", "application/x-test-text");
  fixed("/sized", BinaryBody(100'000), "application/octet-stream");
  s.Get(R"(/page/(\d+))", [](const Request& req, Response& res) {
    res.set_content("<html>page " + std::string(req.matches[1]) + "</html>", "text/html");
  });
  s.Get("/agent", [](const Request& req, Response& res) {
    res.set_content(req.get_header_value("User-Agent"), "application/x-test-text");
  });
  s.Get("/missing", [](const Request&, Response& res) {
    res.status = 404;
    res.set_content("<h1>Not here</h1>", "text/html");
  });
  // Compressed by hand, and refused unless the client offered the coding.
  s.Get("/(gzip|deflate)", [](const Request& req, Response& res) {
    const std::string coding = req.matches[1];
    if (req.get_header_value("Accept-Encoding").find(coding) == std::string::npos) {
      res.status = 406;
      return;
    }
    res.set_header("Content-Encoding", coding);
    res.set_content(Compress(TextBody(100'000), coding == "gzip"), "application/x-test-text");
  });
  // 4 MB of zeros in a few kilobytes, compressed before the server runs
  // (in the handler it can outlast the client's stall limit).
  static const std::string bomb = Compress(std::string(4'000'000, '\0'), true);
  s.Get("/bomb", [](const Request&, Response& res) {
    res.set_header("Content-Encoding", "gzip");
    res.set_content(bomb, "application/x-test-text");
  });

  // /hop/N redirects N times, then lands on /landing.
  s.Get(R"(/hop/(\d+))", [](const Request& req, Response& res) {
    const int n = std::stoi(req.matches[1]);
    res.set_header("X-Hop", std::to_string(n));
    res.set_redirect(n > 1 ? "/hop/" + std::to_string(n - 1) : "/landing");
  });
  fixed("/landing", "<html>landed</html>", "text/html");
  s.Get("/to-file", [](const Request&, Response& res) { res.set_redirect("file:///etc/passwd"); });

  // `step` bytes every 50 ms for 10 s: a trickle too slow to wait for, and a
  // stream fast enough but too long.
  const auto drip = [&s](const char* path, std::size_t step) {
    s.Get(path, [step](const Request&, Response& res) {
      res.set_chunked_content_provider("application/x-test-text", [step](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= step * 200) {
          sink.done();
          return true;
        }
        std::this_thread::sleep_for(50ms);
        return sink.write(std::string(step, 'x').data(), step);
      });
    });
  };
  drip("/trickle", 1);
  drip("/stream", 2048);

  // Accepts the request and answers nothing until let go.
  s.Get("/silent", [&server](const Request&, Response& res) {
    server.WaitForRelease();
    res.set_content("late", "text/plain");
  });
}

}  // namespace zorvik::inettest
