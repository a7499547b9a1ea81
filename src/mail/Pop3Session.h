#pragma once
// POP3 over libcurl on one connection: connect and log in (LIST gives the
// count and every message's size), fetch messages in turn into files,
// delete the message fetched last, close (QUIT, which commits deletions).
// A message is written beside its place, flushed to disk and only then given
// its name (and the folder flushed too): only then does the fetch count, and
// only a message that counts can be deleted.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "mail/CurlTransfer.h"
#include "mail/MailErrors.h"

namespace zorvik::mail {

// Where a fetched message goes: an exact path, or the next free "N.msg" in a
// directory (N one above the largest number there).
struct FetchTarget {
  std::filesystem::path file;       // used when not empty
  std::filesystem::path directory;  // else this
};

// The next free numbered name "N.msg" in `dir`.
std::filesystem::path NextNumberedMessage(const std::filesystem::path& dir);

class Pop3Session {
 public:
  // A message larger than this is not fetched: refused before it is
  // requested when the server lists it so, or when more arrives.
  static constexpr unsigned long long kMaxFetchBytes = 100ull << 20;

  explicit Pop3Session(TransferEvents& events);
  ~Pop3Session();

  MailStatus StartConnect(const MailAccount& account);  // port 110 unless the host names one
  MailStatus StartFetch(const FetchTarget& target);
  MailStatus StartDelete();
  MailStatus StartClose();
  // Completes the step whose transfer just ended with `outcome`.
  MailStatus Finish(MailStatus outcome);

  int MessageCount() const { return static_cast<int>(sizes_.size()); }
  int MessagesFetched() const { return fetched_; }
  // Path of the file the last fetch wrote.
  const std::filesystem::path& LastFile() const { return lastFile_; }

  CurlTransfer& Transfer() { return transfer_; }

 private:
  enum class Step { None, Connect, Fetch, Delete, Close };
  MailStatus Prepare(const std::string& path, const char* command, bool noBody, bool forbidReuse);
  void DropPartialFile();
  static MailStatus TooLarge(int number);

  TransferEvents& events_;
  CurlTransfer transfer_;
  std::string base_;  // "pop3://host:port/"
  Step step_ = Step::None;
  std::string listing_;
  std::vector<long> sizes_;
  int fetched_ = 0;        // number of the message fetched last
  int fetching_ = 0;       // number of the message being fetched
  int deletedUpTo_ = 0;    // guards a second DELE of the same message
  FetchTarget target_;
  std::filesystem::path partial_;
  std::FILE* file_ = nullptr;
  long received_ = 0;
  bool tooLarge_ = false;
  std::filesystem::path lastFile_;
};

}  // namespace zorvik::mail
