#include "support/MailPeers.h"

#include <arpa/inet.h>
#include <grp.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace zorvik::testing {
namespace fs = std::filesystem;

namespace {

// Binds (port 0: any free one) or connects to address:port; the socket or -1.
int TcpSocket(const std::string& address, int port, bool bind) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const auto* a = reinterpret_cast<sockaddr*>(&addr);
  if ((bind ? ::bind(fd, a, sizeof addr) : ::connect(fd, a, sizeof addr)) == 0) return fd;
  ::close(fd);
  return -1;
}

}  // namespace

int FreePort() {
  const int fd = TcpSocket("127.0.0.1", 0, true);
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

std::string NonLoopbackAddress() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return {};
  std::string found;
  for (const ifaddrs* a = list; a != nullptr && found.empty(); a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
    const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
    if ((ntohl(in->sin_addr.s_addr) >> 24) == 127) continue;
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) found = text;
  }
  ::freeifaddrs(list);
  return found;
}

void PeerProcess::Start(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0)
    throw std::runtime_error("cannot start " + argv[0]);
  for (int i = 0; i < 1000; ++i) {
    if (const int fd = TcpSocket(address_, port_, false); fd >= 0) return (void)::close(fd);
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;  // reaped: nothing left to stop
      break;
    }
    ::usleep(10000);
  }
  throw std::runtime_error(argv[0] + " did not start; see " + dir_.path().string());
}

PeerProcess::~PeerProcess() {
  if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0) ::waitpid(pid_, nullptr, 0);
}

// --- SMTP peers ---------------------------------------------------------------

SmtpSink::SmtpSink(const std::string& account, bool startTls) {
  Start({"/usr/bin/python3", ZORVIK_MAIL_SUPPORT_DIR "/smtp_sink.py", std::to_string(port_),
         startTls ? "tls" : "sink", dir_.path().string(), account});
}

SmtpDiscard::SmtpDiscard() {
  Start({"/usr/bin/python3", ZORVIK_MAIL_SUPPORT_DIR "/smtp_sink.py", std::to_string(port_),
         "discard"});
}

std::vector<ReceivedMail> SmtpSink::Received() const {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir_.path()))
    if (e.path().extension() == ".eml") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<ReceivedMail> out;
  for (const auto& file : files) {
    const std::string all = ReadFile(file);
    const std::size_t split = all.find("\n\n");
    std::istringstream envelope(all.substr(0, split));
    ReceivedMail m{{}, {}, all.substr(split + 2), {}, {}};
    std::getline(envelope, m.envelopeFrom);
    for (std::string r; std::getline(envelope, r);) m.recipients.push_back(r);
    std::istringstream parts(ReadFile(fs::path(file).replace_extension(".parts")));
    for (std::string head; std::getline(parts, head);) {
      const std::size_t space = head.rfind(' ');
      std::string body(std::stoul(head.substr(space + 1)), '\0');
      parts.read(body.data(), static_cast<std::streamsize>(body.size()));
      std::vector<std::string> fields;
      std::istringstream line(head.substr(0, space));
      for (std::string field; std::getline(line, field, '\t');) fields.push_back(field);
      fields.resize(4);
      m.parts.emplace_back(fields[0], std::move(body));
      m.headers.push_back({fields[1], fields[2], fields[3]});
    }
    out.push_back(std::move(m));
  }
  return out;
}

void SmtpSink::Clear() {
  for (const auto& e : fs::directory_iterator(dir_.path()))
    if (e.path().extension() == ".eml" || e.path().extension() == ".parts") fs::remove(e.path());
}

ScriptedPeer::ScriptedPeer(std::vector<std::string> script, std::string address)
    : PeerProcess(std::move(address)) {
  script.insert(script.begin(), {"/usr/bin/python3", ZORVIK_MAIL_SUPPORT_DIR "/smtp_sink.py",
                                 host(), "script", dir_.path().string()});
  Start(script);
}

std::vector<std::string> ScriptedPeer::ReceivedLines() const {
  std::istringstream log(ReadFile(dir_.path() / "received.log"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// --- Dovecot -------------------------------------------------------------------

DovecotServer::DovecotServer(const std::string& user, const std::string& password) {
  const fs::path root = dir_.path();
  maildir_ = root / "mail" / user / "Maildir";
  WriteFile(root / "passwd", user + ":{PLAIN}" + password + "\n");
  std::ostringstream conf;
  conf << "base_dir = " << (root / "run").string() << "\n"
       << "state_dir = " << (root / "state").string() << "\n"
       << "log_path = " << (root / "dovecot.log").string() << "\n"
       << "protocols = pop3\nlisten = 127.0.0.1\nssl = no\n"
       << "disable_plaintext_auth = no\nauth_mechanisms = plain login\nauth_failure_delay = 0\n"
       << "mail_location = maildir:" << (root / "mail").string() << "/%u/Maildir\n"
       << "passdb {\n  driver = passwd-file\n  args = " << (root / "passwd").string() << "\n}\n"
       << "userdb {\n  driver = static\n  args = uid=nobody gid=nogroup home="
       << (root / "mail").string() << "/%u\n}\n"
       << "service pop3-login {\n  inet_listener pop3 {\n    address = 127.0.0.1\n    port = "
       << port_ << "\n  }\n  inet_listener pop3s {\n    port = 0\n  }\n}\n";
  WriteFile(root / "dovecot.conf", conf.str());
  SetMailbox({});
  Start({"/usr/sbin/dovecot", "-c", (root / "dovecot.conf").string(), "-F"});
}

void DovecotServer::SetMailbox(const std::vector<std::string>& messages) {
  std::error_code ec;
  fs::remove_all(maildir_, ec);
  for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / sub);
  static int serial = 0;
  for (std::size_t n = 0; n < messages.size(); ++n)  // names sort in delivery order
    WriteFile(maildir_ / "new" / (std::to_string(1700000000 + n) + ".M" +
                                  std::to_string(++serial) + "P1.zorvik-test"),
              messages[n]);
  // Dovecot reads the mail as the unprivileged user named in the userdb.
  const passwd* pw = ::getpwnam("nobody");
  const group* gr = ::getgrnam("nogroup");
  if (pw == nullptr || gr == nullptr) return;
  ::chown(maildir_.parent_path().c_str(), pw->pw_uid, gr->gr_gid);
  for (const auto& e : fs::recursive_directory_iterator(maildir_.parent_path()))
    ::chown(e.path().c_str(), pw->pw_uid, gr->gr_gid);
}

int DovecotServer::MailboxSize() const {
  int n = 0;
  for (const char* sub : {"cur", "new"})
    n += static_cast<int>(std::distance(fs::directory_iterator(maildir_ / sub), {}));
  return n;
}

}  // namespace zorvik::testing
