#pragma once
// The transfer component over libcurl's multi interface. No threads: the
// instance is an event source of its Host, so every yield of the program
// drives the transfer and delivers its events. Connections to a server are
// kept and reused across the requests of one instance.

#include <memory>

#include "core/Host.h"
#include "crawler/Inet.h"

namespace zorvik {

class CurlInet final : public Inet, public EventSource {
 public:
  // Registers with `host`, which must outlive the instance.
  explicit CurlInet(Host& host, InetSettings settings = {});
  ~CurlInet() override;
  CurlInet(const CurlInet&) = delete;
  CurlInet& operator=(const CurlInet&) = delete;

  // Settings apply from the next request on.
  const InetSettings& Settings() const;
  void SetSettings(InetSettings settings);

  bool Execute(std::string_view url) override;
  std::string OpenURL(std::string_view url, int type = kText) override;
  std::string GetChunk(std::size_t size, int type = kText) override;
  std::string GetHeader(std::string_view name) const override;
  void Cancel() override;
  bool StillExecuting() const override;
  std::string URL() const override;
  std::string ResponseInfo() const override;
  int StatusCode() const override;

  // EventSource
  bool Pump() override;
  bool Active() const override;
  void WaitForActivity(std::chrono::milliseconds timeout) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zorvik
