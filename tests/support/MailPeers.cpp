#include "support/MailPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace zorvik::testing {
namespace fs = std::filesystem;

namespace {

int BoundSocket(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket");
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    throw std::runtime_error("bind");
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

bool CanConnect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

void ChownTree(const fs::path& root, uid_t uid, gid_t gid) {
  ::chown(root.c_str(), uid, gid);
  for (const auto& e : fs::recursive_directory_iterator(root)) ::chown(e.path().c_str(), uid, gid);
}

}  // namespace

int RefusedPort() {
  int port = 0;
  ::close(BoundSocket(port));
  return port;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "zorvik-mail-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
  ::chmod(path_.c_str(), 0755);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool captureStdout) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (captureStdout) {
    if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  }
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureStdout) {
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
  }
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      ::usleep(10000);
    }
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
  }
  if (out_ >= 0) ::close(out_);
}

std::string ChildProcess::ReadLine(int timeoutMs) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char c;
    if (::read(out_, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return {};
}

// --- SMTP sink ---------------------------------------------------------------

SmtpSink::SmtpSink(const std::string& account)
    : process_([&] {
        std::vector<std::string> argv = {"/usr/bin/python3",
                                         std::string(ZORVIK_MAIL_SUPPORT_DIR) + "/smtp_sink.py",
                                         dir_.path().string()};
        if (!account.empty()) {
          argv.push_back("--auth");
          argv.push_back(account);
        }
        return argv;
      }(),
               true) {
  const std::string line = process_.ReadLine(10000);
  port_ = std::atoi(line.c_str());
  if (port_ <= 0) throw std::runtime_error("SMTP sink did not start");
}

std::vector<ReceivedMail> SmtpSink::Received() const {
  std::vector<fs::path> emls;
  for (const auto& e : fs::directory_iterator(dir_.path()))
    if (e.path().extension() == ".eml") emls.push_back(e.path());
  std::sort(emls.begin(), emls.end());
  std::vector<ReceivedMail> out;
  for (const auto& eml : emls) {
    ReceivedMail m;
    m.bytes = ReadFile(eml);
    // The envelope file is small JSON: {"from": "...", "rcpt": ["...", ...]}.
    const std::string env = ReadFile(fs::path(eml).replace_extension(".env"));
    std::vector<std::string> strings;
    for (std::size_t i = 0; i < env.size(); ++i) {
      if (env[i] != '"') continue;
      const std::size_t end = env.find('"', i + 1);
      strings.push_back(env.substr(i + 1, end - i - 1));
      i = end;
    }
    // strings: from, <from value>, rcpt, <recipients...>
    if (strings.size() >= 3) {
      m.envelopeFrom = strings[1];
      m.recipients.assign(strings.begin() + 3, strings.end());
    }
    out.push_back(std::move(m));
  }
  return out;
}

void SmtpSink::Clear() {
  for (const auto& e : fs::directory_iterator(dir_.path())) fs::remove(e.path());
}

// --- Dovecot -----------------------------------------------------------------

DovecotServer::DovecotServer(const std::string& user, const std::string& password) {
  const fs::path root = dir_.path();
  ::close(BoundSocket(port_));
  fs::create_directories(root / "mail");
  WriteFile(root / "passwd", user + ":{PLAIN}" + password + "\n");
  maildir_ = root / "mail" / user / "Maildir";
  std::ostringstream conf;
  conf << "base_dir = " << (root / "run").string() << "\n"
       << "state_dir = " << (root / "state").string() << "\n"
       << "log_path = " << (root / "dovecot.log").string() << "\n"
       << "protocols = pop3\n"
       << "listen = 127.0.0.1\n"
       << "ssl = no\n"
       << "disable_plaintext_auth = no\n"
       << "auth_mechanisms = plain login\n"
       << "auth_failure_delay = 0\n"
       << "mail_location = maildir:" << (root / "mail").string() << "/%u/Maildir\n"
       << "pop3_uidl_format = %08Xu%08Xv\n"
       << "passdb {\n  driver = passwd-file\n  args = " << (root / "passwd").string() << "\n}\n"
       << "userdb {\n  driver = static\n  args = uid=nobody gid=nogroup home="
       << (root / "mail").string() << "/%u\n}\n"
       << "service pop3-login {\n  inet_listener pop3 {\n    address = 127.0.0.1\n    port = "
       << port_ << "\n  }\n  inet_listener pop3s {\n    port = 0\n  }\n}\n";
  WriteFile(root / "dovecot.conf", conf.str());
  SetMailbox({});
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/usr/sbin/dovecot", "-c", (root / "dovecot.conf").string(), "-F"},
      false);
  for (int i = 0; i < 500 && !CanConnect(port_); ++i) ::usleep(10000);
  if (!CanConnect(port_))
    throw std::runtime_error("Dovecot did not start: " + ReadFile(root / "dovecot.log"));
}

DovecotServer::~DovecotServer() { process_.reset(); }

void DovecotServer::SetMailbox(const std::vector<std::string>& messages) {
  std::error_code ec;
  fs::remove_all(maildir_, ec);
  for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / sub);
  static int serial = 0;
  int n = 0;
  for (const auto& m : messages) {
    // Names sort in delivery order.
    const std::string name = std::to_string(1700000000 + n) + ".M" + std::to_string(++serial) +
                             "P1.zorvik-test";
    WriteFile(maildir_ / "new" / name, m);
    ++n;
  }
  const passwd* pw = ::getpwnam("nobody");
  const group* gr = ::getgrnam("nogroup");
  if (pw != nullptr && gr != nullptr) ChownTree(maildir_.parent_path(), pw->pw_uid, gr->gr_gid);
}

int DovecotServer::MailboxSize() const {
  int n = 0;
  for (const char* sub : {"cur", "new"}) {
    std::error_code ec;
    for (fs::directory_iterator it(maildir_ / sub, ec), end; !ec && it != end; it.increment(ec))
      ++n;
  }
  return n;
}

// --- raw peer ------------------------------------------------------------------

RawPeer::RawPeer(std::string greeting, std::vector<std::string> replies)
    : greeting_(std::move(greeting)), replies_(std::move(replies)) {
  listener_ = BoundSocket(port_);
  ::listen(listener_, 8);
  thread_ = std::thread([this] {
    struct Client {
      int fd;
      std::string pending;
      std::size_t next = 0;
    };
    std::vector<Client> clients;
    while (!stop_) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (const auto& c : clients) fds.push_back({c.fd, POLLIN, 0});
      if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        const int c = ::accept(listener_, nullptr, nullptr);
        if (c >= 0) {
          if (!greeting_.empty()) (void)!::write(c, greeting_.data(), greeting_.size());
          clients.push_back({c, {}});
        }
      }
      for (std::size_t i = 1; i < fds.size(); ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        Client& c = clients[i - 1];
        char buf[512];
        const ssize_t n = ::read(c.fd, buf, sizeof buf);
        if (n <= 0) continue;
        c.pending.append(buf, static_cast<std::size_t>(n));
        std::size_t nl;
        while ((nl = c.pending.find('\n')) != std::string::npos) {
          c.pending.erase(0, nl + 1);
          if (c.next < replies_.size()) {
            const std::string& r = replies_[c.next++];
            (void)!::write(c.fd, r.data(), r.size());
          }
        }
      }
    }
    for (const auto& c : clients) ::close(c.fd);
  });
}

RawPeer::~RawPeer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

}  // namespace zorvik::testing
