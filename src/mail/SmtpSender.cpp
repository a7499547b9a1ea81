#include "mail/SmtpSender.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zorvik::mail {
namespace {

// The name given in EHLO: this machine's host name, reduced to the
// characters a domain may hold.
std::string EhloName() {
  char buf[256] = {};
  std::string name;
  if (gethostname(buf, sizeof buf - 1) == 0) {
    for (const char* p = buf; *p != '\0'; ++p) {
      const auto c = static_cast<unsigned char>(*p);
      if (std::isalnum(c) || c == '-' || c == '.') name += static_cast<char>(c);
    }
  }
  return name.empty() ? std::string("localhost") : name;
}

}  // namespace

SmtpSender::SmtpSender(TransferEvents& events) : events_(events), transfer_(events) {}

MailStatus SmtpSender::Prepare(bool forbidReuse) {
  CURL* easy = transfer_.Easy();
  if (easy == nullptr) return MailStatus::Error(kErrNoBuffers);
  curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, forbidReuse ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(easy, CURLOPT_MAIL_RCPT, static_cast<curl_slist*>(nullptr));
  curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "NOOP");
  transfer_.onWrite = [](std::string_view) { return true; };
  transfer_.onRead = nullptr;
  return MailStatus::Ok();
}

MailStatus SmtpSender::StartConnect(const MailAccount& account) {
  const auto url = MailUrl("smtp", account.host, 25, EhloName());
  if (!url) return MailStatus::Error(account.host.empty() ? kErrHostNotFound : kErrInvalidEntry);
  url_ = *url;
  if (transfer_.Easy() == nullptr) return MailStatus::Error(kErrNoBuffers);
  transfer_.SetTimeout(account.timeoutSeconds);
  CURL* easy = transfer_.Easy();
  if (!account.userName.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, account.userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, account.password.c_str());
  }
  if (MailStatus s = Prepare(false); !s.ok()) return s;
  return transfer_.Start();
}

MailStatus SmtpSender::StartSend(std::string message, const std::string& envelopeFrom,
                                 const std::vector<std::string>& recipients) {
  if (MailStatus s = Prepare(false); !s.ok()) return s;
  message_ = std::move(message);
  sent_ = 0;
  from_ = "<" + envelopeFrom + ">";
  curl_slist* list = nullptr;
  for (const std::string& r : recipients) {
    curl_slist* grown = curl_slist_append(list, ("<" + r + ">").c_str());
    if (grown == nullptr) {
      curl_slist_free_all(list);
      return MailStatus::Error(kErrNoBuffers);
    }
    list = grown;
  }
  recipientList_.reset(list);
  CURL* easy = transfer_.Easy();
  curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
  curl_easy_setopt(easy, CURLOPT_MAIL_FROM, from_.c_str());
  curl_easy_setopt(easy, CURLOPT_MAIL_RCPT, list);
  curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message_.size()));
  const long total = static_cast<long>(message_.size());
  transfer_.onRead = [this, total](char* buf, std::size_t room) {
    const std::size_t n = std::min(room, message_.size() - sent_);
    std::memcpy(buf, message_.data() + sent_, n);
    sent_ += n;
    if (n > 0) events_.Progress(static_cast<long>(sent_), total);
    return n;
  };
  return transfer_.Start();
}

MailStatus SmtpSender::StartClose() {
  // A NOOP on a connection that may not be kept: libcurl ends it with QUIT
  // and waits for the reply, bounded by the time-out.
  if (MailStatus s = Prepare(true); !s.ok()) return s;
  return transfer_.Start();
}

}  // namespace zorvik::mail
