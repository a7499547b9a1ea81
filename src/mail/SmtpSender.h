#pragma once
// SMTP over libcurl on one connection: connect (greeting, EHLO, STARTTLS
// when offered, AUTH when an account is given, then NOOP), send a message
// to a list of recipients, and close (QUIT).

#include <memory>
#include <string>
#include <vector>

#include "mail/CurlTransfer.h"
#include "mail/MailErrors.h"

namespace zorvik::mail {

class SmtpSender {
 public:
  explicit SmtpSender(TransferEvents& events);

  MailStatus StartConnect(const MailAccount& account);  // port 25 unless the host names one
  // The message bytes go out exactly as given (CRLF line ends are the
  // caller's); libcurl adds the dot-stuffing.
  MailStatus StartSend(std::string message, const std::string& envelopeFrom,
                       const std::vector<std::string>& recipients);
  MailStatus StartClose();

  CurlTransfer& Transfer() { return transfer_; }

 private:
  MailStatus Prepare(bool forbidReuse);

  TransferEvents& events_;
  CurlTransfer transfer_;
  std::string url_;
  std::string message_;
  std::size_t sent_ = 0;
  std::string from_;
  std::unique_ptr<curl_slist, void (*)(curl_slist*)> recipientList_{nullptr, curl_slist_free_all};
};

}  // namespace zorvik::mail
