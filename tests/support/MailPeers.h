#pragma once
// Real mail peers for the mail tests, each a child process serving
// 127.0.0.1 (or another address of this machine) on a free port from a
// private directory: an SMTP sink (aiosmtpd run by the system Python), a
// scripted peer that plays a misbehaving server, and a private Dovecot POP3
// server. The constructor returns once the port accepts connections; the
// destructor stops the process.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "support/TestFiles.h"

namespace zorvik::testing {

// A port nothing listens on (bound once, then released).
int FreePort();
// An IPv4 address of this machine outside 127.0.0.0/8; empty when it has none.
std::string NonLoopbackAddress();

class PeerProcess {
 public:
  ~PeerProcess();
  std::string host() const { return address_ + ":" + std::to_string(port_); }

 protected:
  explicit PeerProcess(std::string address = "127.0.0.1") : address_(std::move(address)) {}
  void Start(const std::vector<std::string>& argv);
  TempDir dir_;
  std::string address_;
  int port_ = FreePort();
  pid_t pid_ = -1;
};

struct ReceivedMail {
  std::string envelopeFrom;
  std::vector<std::string> recipients;
  std::string bytes;
  // Each leaf part as an independent parser read it: its transfer encoding
  // and its decoded body (a mac-binhex40 body as it was sent).
  std::vector<std::pair<std::string, std::string>> parts;
  // The same parts' headers: Content-Type and Content-Disposition unfolded,
  // and the file name as the parser reads it from them.
  struct PartHeaders {
    std::string contentType, disposition, fileName;
  };
  std::vector<PartHeaders> headers;
};

class SmtpSink : public PeerProcess {
 public:
  // Offers AUTH for `account` ("user:password") only; sending without AUTH
  // is allowed too. Recipients whose local part starts with "refused" are
  // refused. With `startTls` it offers STARTTLS with a self-signed
  // certificate (made by the openssl program).
  explicit SmtpSink(const std::string& account, bool startTls = false);
  std::vector<ReceivedMail> Received() const;  // in arrival order
  void Clear();
};

// An SMTP server that takes any message of any size and keeps nothing.
class SmtpDiscard : public PeerProcess {
 public:
  SmtpDiscard();
};

// Greets every client with script[0] (empty: never speaks), answers each line
// it receives with the next entry, then falls silent. Entries may start with
// the directives "<drop>", "<trickle SECS>", "<wait SECS>" and "<data RATE>"
// (smtp_sink.py).
class ScriptedPeer : public PeerProcess {
 public:
  explicit ScriptedPeer(std::vector<std::string> script, std::string address = "127.0.0.1");
  // Every line the peer received, in order, without line ends.
  std::vector<std::string> ReceivedLines() const;
};

class DovecotServer : public PeerProcess {
 public:
  DovecotServer(const std::string& user, const std::string& password);
  // Replaces the whole mailbox by these messages, in this order.
  void SetMailbox(const std::vector<std::string>& messages);
  int MailboxSize() const;

 private:
  std::filesystem::path maildir_;
};

}  // namespace zorvik::testing
