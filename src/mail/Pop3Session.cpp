#include "mail/Pop3Session.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace zorvik::mail {
namespace {

namespace fs = std::filesystem;

// The number of a "N.msg" name, or -1.
long long MessageNumber(const fs::path& p) {
  if (p.extension() != ".msg") return -1;
  const std::string stem = p.stem().string();
  if (stem.empty() || stem.size() > 15) return -1;
  long long n = 0;
  for (char c : stem) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

// Makes a folder's entries (a file just linked or renamed into it) durable.
bool SyncFolder(const fs::path& dir) {
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

MailStatus Pop3Session::TooLarge(int number) {
  MailStatus s = MailStatus::Error(kErrMessageSize);
  s.description = "Message " + std::to_string(number) + " is larger than the " +
                  std::to_string(kMaxFetchBytes >> 20) + " MB a fetch accepts; it was not stored.";
  return s;
}

fs::path NextNumberedMessage(const fs::path& dir) {
  long long highest = 0;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    highest = std::max(highest, MessageNumber(it->path()));
  }
  return dir / (std::to_string(highest + 1) + ".msg");
}

Pop3Session::Pop3Session(TransferEvents& events) : events_(events), transfer_(events) {}

Pop3Session::~Pop3Session() { DropPartialFile(); }

void Pop3Session::DropPartialFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!partial_.empty()) {
    std::error_code ec;
    fs::remove(partial_, ec);
    partial_.clear();
  }
}

MailStatus Pop3Session::Prepare(const std::string& path, const char* command, bool noBody,
                                bool forbidReuse) {
  CURL* easy = transfer_.Easy();
  if (easy == nullptr) return MailStatus::Error(kErrNoBuffers);
  const std::string url = base_ + path;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, command);
  curl_easy_setopt(easy, CURLOPT_NOBODY, noBody ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, forbidReuse ? 1L : 0L);
  transfer_.onWrite = [](std::string_view) { return true; };
  return MailStatus::Ok();
}

MailStatus Pop3Session::StartConnect(const MailAccount& account) {
  const auto url = MailUrl("pop3", account.host, 110, "");
  if (!url) return MailStatus::Error(account.host.empty() ? kErrHostNotFound : kErrInvalidEntry);
  base_ = *url;
  CURL* easy = transfer_.Easy();
  if (easy == nullptr) return MailStatus::Error(kErrNoBuffers);
  transfer_.SetTimeout(account.timeoutSeconds);
  transfer_.SetSecurity(ParseHostSpec(account.host, 110)->host, RequiresTls(account.host, true));
  curl_easy_setopt(easy, CURLOPT_USERNAME, account.userName.c_str());
  curl_easy_setopt(easy, CURLOPT_PASSWORD, account.password.c_str());
  if (MailStatus s = Prepare("", nullptr, false, false); !s.ok()) return s;
  listing_.clear();
  transfer_.onWrite = [this](std::string_view bytes) {
    if (listing_.size() + bytes.size() > (64u << 20)) return false;
    listing_.append(bytes);
    return true;
  };
  step_ = Step::Connect;
  return transfer_.Start();
}

MailStatus Pop3Session::StartFetch(const FetchTarget& target) {
  const int number = fetched_ + 1;
  if (number > MessageCount()) return MailStatus::Error(kErrInternalState);
  if (static_cast<unsigned long long>(sizes_[static_cast<std::size_t>(number - 1)]) > kMaxFetchBytes)
    return TooLarge(number);
  target_ = target;
  const fs::path dir = target.file.empty() ? target.directory : target.file.parent_path();
  std::error_code ec;
  if (!dir.empty()) fs::create_directories(dir, ec);
  // The message is written next to its final place and moved there only
  // when it is complete, so a broken transfer leaves no half message.
  std::string pattern = ((dir.empty() ? fs::path(".") : dir) / ".fetch-XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return MailStatus::Error(kErrCannotOpenFile);
  partial_ = pattern;
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    ::close(fd);
    DropPartialFile();
    return MailStatus::Error(kErrCannotOpenFile);
  }
  if (MailStatus s = Prepare(std::to_string(number), nullptr, false, false); !s.ok()) {
    DropPartialFile();
    return s;
  }
  received_ = 0;
  tooLarge_ = false;
  const long total = sizes_[static_cast<std::size_t>(number - 1)];
  transfer_.onWrite = [this, total](std::string_view bytes) {
    if (static_cast<unsigned long long>(received_) + bytes.size() > kMaxFetchBytes) {
      tooLarge_ = true;
      return false;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return false;
    received_ += static_cast<long>(bytes.size());
    events_.Progress(received_, total);
    return true;
  };
  step_ = Step::Fetch;
  fetching_ = number;
  if (MailStatus s = transfer_.Start(); !s.ok()) {
    DropPartialFile();
    return s;
  }
  return MailStatus::Ok();
}

MailStatus Pop3Session::StartDelete() {
  if (fetched_ == 0 || deletedUpTo_ == fetched_) return MailStatus::Error(kErrInternalState);
  if (MailStatus s = Prepare(std::to_string(fetched_), "DELE", true, false); !s.ok()) return s;
  step_ = Step::Delete;
  return transfer_.Start();
}

MailStatus Pop3Session::StartClose() {
  // A NOOP on a connection that may not be kept: libcurl ends it with QUIT,
  // which makes the server carry out the deletions.
  if (MailStatus s = Prepare("", "NOOP", true, true); !s.ok()) return s;
  step_ = Step::Close;
  return transfer_.Start();
}

MailStatus Pop3Session::Finish(MailStatus outcome) {
  const Step step = step_;
  step_ = Step::None;
  switch (step) {
    case Step::Connect: {
      if (!outcome.ok()) return outcome;
      sizes_.clear();
      std::size_t start = 0;
      while (start < listing_.size()) {
        std::size_t end = listing_.find('\n', start);
        if (end == std::string::npos) end = listing_.size();
        const std::string line = listing_.substr(start, end - start);
        start = end + 1;
        char* rest = nullptr;
        const long number = std::strtol(line.c_str(), &rest, 10);
        if (rest == line.c_str() || number <= 0) continue;
        const long size = std::strtol(rest, nullptr, 10);
        sizes_.push_back(size > 0 ? size : 0);
      }
      return outcome;
    }
    case Step::Fetch: {
      // The message and then its folder entry must be on disk before the
      // fetch counts: the caller may delete it from the server next.
      const bool flushed = outcome.ok() && std::fflush(file_) == 0 && ::fsync(fileno(file_)) == 0;
      const bool closed = std::fclose(file_) == 0;
      file_ = nullptr;
      const long expected = sizes_[static_cast<std::size_t>(fetching_ - 1)];
      if (tooLarge_) {
        outcome = TooLarge(fetching_);
      } else if (outcome.ok() && received_ < expected) {
        // libcurl ends a RETR whose connection closes as if it were complete;
        // the size the server listed tells a message cut short.
        outcome = MailStatus::Error(kErrDisconnected);
        outcome.description += " Message " + std::to_string(fetching_) + " ended after " +
                               std::to_string(received_) + " of " + std::to_string(expected) +
                               " bytes and was not stored.";
      }
      if (!outcome.ok() || !flushed || !closed) {
        DropPartialFile();
        return outcome.ok() ? MailStatus::Error(kErrCannotCloseFile) : outcome;
      }
      std::error_code ec;
      fs::path stored;
      if (!target_.file.empty()) {
        fs::rename(partial_, target_.file, ec);
        if (ec) {
          DropPartialFile();
          return MailStatus::Error(kErrCannotOpenFile);
        }
        stored = target_.file;
      } else {
        // link() never replaces a file, so a name taken meanwhile is skipped.
        for (int attempt = 0;; ++attempt) {
          const fs::path name = NextNumberedMessage(target_.directory);
          if (::link(partial_.c_str(), name.c_str()) == 0) {
            stored = name;
            break;
          }
          if (errno != EEXIST || attempt > 100) {
            DropPartialFile();
            return MailStatus::Error(kErrCannotOpenFile);
          }
        }
        fs::remove(partial_, ec);
      }
      partial_.clear();
      if (!SyncFolder(stored.parent_path())) {
        // Not safely stored: the server keeps it for the next retrieval.
        fs::remove(stored, ec);
        return MailStatus::Error(kErrCannotCloseFile);
      }
      lastFile_ = stored;
      // Only a message safely on disk counts as fetched, so that a delete
      // never removes one the caller does not have.
      fetched_ = fetching_;
      return outcome;
    }
    case Step::Delete:
      if (outcome.ok()) deletedUpTo_ = fetched_;
      return outcome;
    case Step::Close:
    case Step::None:
      return outcome;
  }
  return outcome;
}

}  // namespace zorvik::mail
