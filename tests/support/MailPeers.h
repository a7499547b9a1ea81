#pragma once
// Real mail peers for the mail tests, on 127.0.0.1 and free ports: an SMTP
// sink (aiosmtpd run by the system Python), a private Dovecot POP3 server,
// and small raw TCP peers for misbehaving servers. Each is started by its
// constructor and stopped by its destructor.

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace zorvik::testing {

// A port nothing listens on (bound once, then released).
int RefusedPort();

// A fresh directory under the system temp dir, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::string& bytes);

// A child process; killed (SIGTERM, then SIGKILL) and reaped by the destructor.
class ChildProcess {
 public:
  // With `captureStdout` the child's standard output is a pipe read by ReadLine.
  ChildProcess(const std::vector<std::string>& argv, bool captureStdout);
  ~ChildProcess();
  pid_t pid() const { return pid_; }
  // One line of the child's output, waiting at most `timeoutMs`; "" on failure.
  std::string ReadLine(int timeoutMs);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

struct ReceivedMail {
  std::string envelopeFrom;
  std::vector<std::string> recipients;
  std::string bytes;
};

class SmtpSink {
 public:
  // `account` "user:password" makes the sink require AUTH with that account.
  explicit SmtpSink(const std::string& account = {});
  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  // Every message stored so far, in arrival order.
  std::vector<ReceivedMail> Received() const;
  // Forgets the messages stored so far.
  void Clear();

 private:
  TempDir dir_;
  ChildProcess process_;
  int port_ = 0;
};

class DovecotServer {
 public:
  // One account, `user` with `password`.
  DovecotServer(const std::string& user, const std::string& password);
  ~DovecotServer();
  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  // Replaces the whole mailbox by these messages, in this order.
  void SetMailbox(const std::vector<std::string>& messages);
  // Messages the mailbox holds now.
  int MailboxSize() const;

 private:
  TempDir dir_;
  std::filesystem::path maildir_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

// Accepts connections and answers each with a fixed text (which may be
// empty: a server that never speaks); then answers each line it receives
// with the next of `replies`, and falls silent when they run out, keeping the
// connection open until stopped.
class RawPeer {
 public:
  explicit RawPeer(std::string greeting, std::vector<std::string> replies = {});
  ~RawPeer();
  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::string greeting_;
  std::vector<std::string> replies_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zorvik::testing
