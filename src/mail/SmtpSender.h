#pragma once
// SMTP on one connection. libcurl connects and logs in (greeting, EHLO,
// STARTTLS when offered or required, AUTH when an account is given). The
// mail transaction (MAIL FROM, RCPT TO, DATA, the message, the final reply)
// and QUIT are this class's own dialogue on that connection, driven without
// blocking, so that neither a large message nor a slow server's reply ever
// holds the caller. The message comes from a MessageWriter a piece at a
// time and is dot-stuffed on the way; it never exists whole in memory.
//
// Time-out: connecting has its own limit (CurlTransfer); afterwards a step
// fails with kErrTimedOut only after that many seconds in which no byte was
// sent or received and the connection's send queue did not shrink.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mail/CurlTransfer.h"
#include "mail/MailErrors.h"
#include "mail/MimeWriter.h"
#include "mail/ProtocolTrace.h"

namespace zorvik::mail {

class SmtpSender {
 public:
  explicit SmtpSender(TransferEvents& events);
  ~SmtpSender();

  MailStatus StartConnect(const MailAccount& account);  // port 25 unless the host names one
  // Sends what `message` makes (already started) from the envelope sender
  // (may be empty: the null sender) to the recipients, all bare addresses.
  MailStatus StartSend(std::unique_ptr<MessageWriter> message, const std::string& envelopeFrom,
                       const std::vector<std::string>& recipients);
  MailStatus StartClose();

  // Does the work that is ready; when the step has just ended, its outcome.
  std::optional<MailStatus> Drive();
  // Blocks until the connection has something to do, at most `timeout`.
  void Wait(std::chrono::milliseconds timeout);

 private:
  enum class Phase { Idle, Connecting, Preparing, Commands, Data, Closing };
  struct Command {
    std::string line;
    char expect;  // first digit of the reply wanted
  };

  std::optional<MailStatus> Step();
  MailStatus Exchange();      // sends and receives what it can
  std::optional<MailStatus> TakeReply();
  void SendNextCommand();
  void FillData();
  bool Silent();
  std::optional<MailStatus> Finish(MailStatus outcome);
  void Trace(std::vector<std::string>& lines);

  TransferEvents& events_;
  CurlTransfer transfer_;
  Phase phase_ = Phase::Idle;
  curl_socket_t socket_ = CURL_SOCKET_BAD;
  std::vector<Command> commands_;
  std::size_t nextCommand_ = 0;
  bool awaiting_ = false;
  std::string out_;
  std::size_t outOffset_ = 0;
  std::string in_;
  std::unique_ptr<MessageWriter> message_;
  bool messageDone_ = false;
  bool atLineStart_ = true;
  long long messageRead_ = 0;
  long long total_ = 0;
  long long bytesMoved_ = 0;  // sent and received, for telling work from waiting
  std::chrono::steady_clock::time_point lastMoved_{};
  int sendQueue_ = 0;
  ProtocolTrace trace_;
};

}  // namespace zorvik::mail
