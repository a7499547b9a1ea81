// The pages the local test server answers with.

#include <zlib.h>

#include <stdexcept>

#include "InetFixture.h"
#include "core/Version.h"

namespace zorvik::inettest {

std::string TextBody(std::size_t size) {
  std::string s;
  s.reserve(size + 64);
  for (int line = 0; s.size() < size; ++line)
    s += "Zeile " + std::to_string(line) + ": gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln\r\n";
  s.resize(size);
  return s;
}

std::string BinaryBody(std::size_t size) {
  std::string s(size, '\0');
  std::uint32_t x = 2463534242u;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xff);
  }
  return s;
}

namespace {

std::string Compress(const std::string& data, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
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

bool Accepts(const httplib::Request& req, const char* coding) {
  return req.get_header_value("Accept-Encoding").find(coding) != std::string::npos;
}

}  // namespace

std::string Gzip(const std::string& data) { return Compress(data, 15 + 16); }
std::string Deflate(const std::string& data) { return Compress(data, 15); }

void AddPages(testing::TestHttpServer& server) {
  using httplib::Request;
  using httplib::Response;
  httplib::Server& s = server.Routes();
  testing::TestHttpServer* peer = &server;

  s.Get("/", [](const Request&, Response& res) { res.set_content("<html>root</html>", "text/html"); });
  s.Get("/page", [](const Request&, Response& res) {
    res.set_content("<html><body>hello</body></html>", "text/html");
  });
  s.Get(R"(/page/(\d+))", [](const Request& req, Response& res) {
    res.set_content("<html>page " + std::string(req.matches[1]) + "</html>", "text/html");
  });
  s.Get("/empty", [](const Request&, Response& res) { res.set_content("", "text/html"); });
  s.Get("/text", [](const Request&, Response& res) {
    // Served as bytes so the server does not compress it on its own.
    res.set_content(TextBody(300'000), "application/x-test-text");
  });
  s.Get("/binary", [](const Request&, Response& res) {
    res.set_content(BinaryBody(3'000'000), "application/octet-stream");
  });
  s.Get("/headers", [](const Request&, Response& res) {
    res.set_header("X-Repeated", "first");
    res.set_header("X-Repeated", "second");
    res.set_content("<html>typed</html>", "text/html; charset=ISO-8859-1");
  });
  s.Get("/agent", [](const Request& req, Response& res) {
    res.set_content(req.get_header_value("User-Agent"), "application/x-test-text");
  });
  s.Get("/with space", [](const Request&, Response& res) {
    res.set_content("spaced", "application/x-test-text");
  });

  // /hop/N redirects N times, then lands on /landing.
  s.Get(R"(/hop/(\d+))", [](const Request& req, Response& res) {
    const int n = std::stoi(req.matches[1]);
    res.set_header("X-Hop", std::to_string(n));
    res.set_header("Set-Cookie", "hop=" + std::to_string(n));
    res.set_redirect(n > 1 ? "/hop/" + std::to_string(n - 1) : "/landing", 302);
    res.set_content("moved", "text/plain");
  });
  s.Get("/landing", [](const Request&, Response& res) {
    res.set_header("X-Landing", "yes");
    res.set_content("<html>landed</html>", "text/html");
  });
  s.Get("/loop", [](const Request&, Response& res) { res.set_redirect("/loop", 302); });
  s.Get("/to-ftp", [](const Request&, Response& res) {
    res.set_redirect("ftp://127.0.0.1/file", 302);
  });
  s.Get("/to-file", [](const Request&, Response& res) {
    res.set_redirect("file:///etc/passwd", 302);
  });

  s.Get("/missing", [](const Request&, Response& res) {
    res.status = 404;
    res.set_content("<h1>Not here</h1>", "text/html");
  });
  s.Get("/broken", [](const Request&, Response& res) {
    res.status = 500;
    res.set_content("<h1>Server trouble</h1>", "text/html");
  });

  // Compressed by hand, with a type the server would never compress itself.
  s.Get("/gzip", [](const Request& req, Response& res) {
    if (!Accepts(req, "gzip")) {
      res.status = 406;
      return;
    }
    res.set_header("Content-Encoding", "gzip");
    res.set_content(Gzip(TextBody(100'000)), "application/x-test-text");
  });
  s.Get("/deflate", [](const Request& req, Response& res) {
    if (!Accepts(req, "deflate")) {
      res.status = 406;
      return;
    }
    res.set_header("Content-Encoding", "deflate");
    res.set_content(Deflate(TextBody(100'000)), "application/x-test-text");
  });
  // 4 MB of zeros in a few kilobytes.
  s.Get("/bomb", [](const Request&, Response& res) {
    res.set_header("Content-Encoding", "gzip");
    res.set_content(Gzip(std::string(4'000'000, '\0')), "application/x-test-text");
  });
  // Exactly 100,000 bytes, with and without a length announced up front.
  s.Get("/sized", [](const Request&, Response& res) {
    res.set_content(BinaryBody(100'000), "application/octet-stream");
  });
  s.Get("/streamed", [](const Request&, Response& res) {
    res.set_chunked_content_provider("application/octet-stream",
                                     [](size_t offset, httplib::DataSink& sink) {
                                       if (offset >= 100'000) {
                                         sink.done();
                                         return true;
                                       }
                                       const std::string piece = BinaryBody(100'000).substr(offset, 10'000);
                                       return sink.write(piece.data(), piece.size());
                                     });
  });

  // Sends a first piece, then nothing until the test lets it go.
  s.Get("/stall", [peer](const Request&, Response& res) {
    res.set_chunked_content_provider("application/x-test-text",
                                     [peer](size_t offset, httplib::DataSink& sink) {
                                       if (offset == 0) {
                                         const std::string first(2000, 'a');
                                         return sink.write(first.data(), first.size());
                                       }
                                       peer->WaitForRelease();
                                       sink.done();
                                       return true;
                                     });
  });
  // Accepts the request and answers nothing until let go.
  s.Get("/silent", [peer](const Request&, Response& res) {
    peer->WaitForRelease();
    res.set_content("late", "text/plain");
  });
}

}  // namespace zorvik::inettest
