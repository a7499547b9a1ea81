#pragma once
// Turns libcurl's protocol dialogue into trace lines: commands sent and
// replies received, line by line. Credentials never get through: the
// arguments of USER-less login commands (PASS, APOP), the whole of an AUTH
// exchange and the server's SASL challenges are replaced by "****".
// Message data is only counted.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik::mail {

class ProtocolTrace {
 public:
  // Bytes the client sent as commands; complete lines are appended to `lines`.
  void Client(std::string_view bytes, std::vector<std::string>& lines);
  // Bytes the server sent as replies.
  void Server(std::string_view bytes, std::vector<std::string>& lines);
  // Message data seen in either direction.
  void Data(std::size_t bytes) { dataBytes_ += bytes; }
  // "[N bytes of message data]" when data passed since the last call, else "".
  std::string TakeDataSummary();

 private:
  std::string Redact(std::string_view line, bool fromClient);

  std::string clientPending_;
  std::string serverPending_;
  bool inAuth_ = false;
  std::size_t dataBytes_ = 0;
};

}  // namespace zorvik::mail
