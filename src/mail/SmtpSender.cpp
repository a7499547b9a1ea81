#include "mail/SmtpSender.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace zorvik::mail {
namespace {

// How much message data waits for the socket at most.
constexpr std::size_t kDataChunk = 256 * 1024;
// How long one Drive call works before it lets the caller go on.
constexpr auto kSlice = std::chrono::milliseconds(8);
// A reply line longer than this is not SMTP.
constexpr std::size_t kMaxReply = 64 * 1024;

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

// Appends `text` to `out`, doubling every dot that starts a line.
void DotStuff(std::string_view text, bool& atLineStart, std::string& out) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (atLineStart && text[pos] == '.') out += '.';
    const std::size_t nl = text.find('\n', pos);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    out.append(text.substr(pos, end - pos));
    atLineStart = nl != std::string_view::npos;
    pos = end;
  }
}

MailStatus Failure(int number) { return MailStatus::Error(number); }

}  // namespace

SmtpSender::SmtpSender(TransferEvents& events) : events_(events), transfer_(events) {}

SmtpSender::~SmtpSender() = default;

MailStatus SmtpSender::StartConnect(const MailAccount& account) {
  const auto url = MailUrl("smtp", account.host, 25, EhloName());
  if (!url) return MailStatus::Error(account.host.empty() ? kErrHostNotFound : kErrInvalidEntry);
  CURL* easy = transfer_.Easy();
  if (easy == nullptr) return MailStatus::Error(kErrNoBuffers);
  transfer_.SetTimeout(account.timeoutSeconds);
  const bool login = !account.userName.empty();
  transfer_.SetSecurity(ParseHostSpec(account.host, 25)->host, RequiresTls(account.host, login));
  transfer_.SetConnectOnly();
  curl_easy_setopt(easy, CURLOPT_URL, url->c_str());
  if (login) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, account.userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, account.password.c_str());
  }
  phase_ = Phase::Connecting;
  return transfer_.Start();
}

MailStatus SmtpSender::StartSend(std::unique_ptr<MessageWriter> message,
                                 const std::string& envelopeFrom,
                                 const std::vector<std::string>& recipients) {
  if (phase_ != Phase::Idle || socket_ == CURL_SOCKET_BAD) return Failure(kErrNotConnected);
  commands_.clear();
  commands_.push_back({"MAIL FROM:<" + envelopeFrom + ">", '2'});
  for (const std::string& r : recipients) commands_.push_back({"RCPT TO:<" + r + ">", '2'});
  commands_.push_back({"DATA", '3'});
  nextCommand_ = 0;
  message_ = std::move(message);
  messageDone_ = false;
  atLineStart_ = true;
  messageRead_ = total_ = 0;
  phase_ = Phase::Preparing;
  lastMoved_ = std::chrono::steady_clock::now();
  return MailStatus::Ok();
}

MailStatus SmtpSender::StartClose() {
  if (phase_ != Phase::Idle) return Failure(kErrInternalState);
  commands_ = {{"QUIT", '2'}};
  nextCommand_ = 0;
  phase_ = Phase::Closing;
  lastMoved_ = std::chrono::steady_clock::now();
  SendNextCommand();
  return MailStatus::Ok();
}

std::optional<MailStatus> SmtpSender::Drive() {
  if (phase_ == Phase::Idle) return std::nullopt;
  if (phase_ == Phase::Connecting) {
    auto outcome = transfer_.Drive();
    if (!outcome) return std::nullopt;
    if (outcome->ok() &&
        (curl_easy_getinfo(transfer_.Easy(), CURLINFO_ACTIVESOCKET, &socket_) != CURLE_OK ||
         socket_ == CURL_SOCKET_BAD))
      outcome = Failure(kErrNotConnected);
    return Finish(std::move(*outcome));
  }
  // Works until nothing moves any more (the socket is full, or no reply has
  // come yet) or the slice is used up.
  const auto until = std::chrono::steady_clock::now() + kSlice;
  do {
    const Phase phase = phase_;
    const long long moved = bytesMoved_;
    if (auto outcome = Step()) return outcome;
    if (phase_ == phase && phase_ != Phase::Preparing && bytesMoved_ == moved) break;
  } while (std::chrono::steady_clock::now() < until);
  if (Silent()) return Finish(Failure(kErrTimedOut));
  return std::nullopt;
}

// One round of work; an outcome when the step has ended.
std::optional<MailStatus> SmtpSender::Step() {
  if (phase_ == Phase::Preparing) {
    if (!message_->Prepare(kSlice)) return std::nullopt;
    if (!message_->Status().ok()) return Finish(message_->Status());
    total_ = static_cast<long long>(message_->Size());
    phase_ = Phase::Commands;
    SendNextCommand();
  }
  if (phase_ == Phase::Data) FillData();
  if (MailStatus s = Exchange(); !s.ok()) {
    // A server that has hung up before or after QUIT leaves the connection
    // closed, which is all a close asks for.
    if (phase_ == Phase::Closing && s.number != kErrUnexpectedResponse) return Finish(MailStatus::Ok());
    return Finish(s);
  }
  while (auto reply = TakeReply()) {
    if (!reply->ok()) return Finish(*reply);
    if (phase_ == Phase::Closing) return Finish(MailStatus::Ok());
    if (phase_ == Phase::Data) return Finish(MailStatus::Ok());  // the final reply
    if (nextCommand_ < commands_.size()) {
      SendNextCommand();
    } else {
      phase_ = Phase::Data;  // DATA was answered with 354
      FillData();
    }
  }
  return std::nullopt;
}

void SmtpSender::SendNextCommand() {
  const Command& c = commands_[nextCommand_++];
  out_.erase(0, outOffset_);
  outOffset_ = 0;
  out_ += c.line + "\r\n";
  std::vector<std::string> lines;
  trace_.Client(c.line + "\r\n", lines);
  Trace(lines);
  awaiting_ = true;
}

void SmtpSender::FillData() {
  if (messageDone_ || out_.size() - outOffset_ >= kDataChunk / 2) return;
  out_.erase(0, outOffset_);
  outOffset_ = 0;
  std::string piece;
  const bool more = message_->Read(piece, kDataChunk);
  messageRead_ += static_cast<long long>(piece.size());
  DotStuff(piece, atLineStart_, out_);
  trace_.Data(piece.size());
  if (more) return;
  // The end mark; the message itself always ends with a line break.
  if (!atLineStart_) out_ += "\r\n";
  out_ += ".\r\n";
  messageDone_ = true;
  awaiting_ = true;
  message_.reset();
  std::vector<std::string> lines;
  if (std::string summary = trace_.TakeDataSummary(); !summary.empty()) lines.push_back(summary);
  Trace(lines);
}

MailStatus SmtpSender::Exchange() {
  CURL* easy = transfer_.Easy();
  const std::size_t before = outOffset_;
  while (outOffset_ < out_.size()) {
    std::size_t n = 0;
    const CURLcode code = curl_easy_send(easy, out_.data() + outOffset_, out_.size() - outOffset_, &n);
    if (code == CURLE_AGAIN) break;
    if (code != CURLE_OK) return Failure(kErrConnectionReset);
    outOffset_ += n;
    bytesMoved_ += static_cast<long long>(n);
    lastMoved_ = std::chrono::steady_clock::now();
  }
  // (A report only when something went: a report is news that ends a wait.)
  if (phase_ == Phase::Data && total_ > 0 && outOffset_ > before) {
    const long long waiting = static_cast<long long>(out_.size() - outOffset_);
    events_.Progress(static_cast<long>(std::clamp(messageRead_ - waiting, 0LL, total_)),
                     static_cast<long>(total_));
  }
  char buf[4096];
  for (;;) {
    std::size_t n = 0;
    const CURLcode code = curl_easy_recv(easy, buf, sizeof buf, &n);
    if (code == CURLE_AGAIN) break;
    if (code != CURLE_OK) return Failure(kErrConnectionReset);
    if (n == 0) return Failure(kErrShutdown);  // the server closed the connection
    in_.append(buf, n);
    bytesMoved_ += static_cast<long long>(n);
    lastMoved_ = std::chrono::steady_clock::now();
    if (in_.size() > kMaxReply) return Failure(kErrUnexpectedResponse);
  }
  return MailStatus::Ok();
}

// The next complete reply: Ok when it is the one the command wants.
std::optional<MailStatus> SmtpSender::TakeReply() {
  for (std::size_t start = 0;;) {
    const std::size_t nl = in_.find('\n', start);
    if (nl == std::string::npos) return std::nullopt;
    const std::string_view line(in_.data() + start, nl + 1 - start);
    start = nl + 1;
    // "250-..." continues a reply; "250 ..." or "250" ends it.
    const bool last = line.size() < 4 || line[3] != '-';
    if (!last) continue;
    std::vector<std::string> lines;
    trace_.Server(std::string_view(in_.data(), start), lines);
    Trace(lines);
    const char code = line.empty() ? '\0' : line[0];
    in_.erase(0, start);
    if (!awaiting_) return Failure(kErrUnexpectedResponse);  // a reply nobody asked for
    awaiting_ = false;
    const char wanted = phase_ == Phase::Data ? '2' : commands_[nextCommand_ - 1].expect;
    if (phase_ == Phase::Closing || code == wanted) return MailStatus::Ok();
    return Failure(kErrUnexpectedResponse);
  }
}

bool SmtpSender::Silent() {
  if (phase_ == Phase::Idle || phase_ == Phase::Preparing) return false;
  const auto now = std::chrono::steady_clock::now();
  // Bytes the kernel still holds count as moving while they leave.
  int queued = 0;
  if (socket_ != CURL_SOCKET_BAD && ::ioctl(socket_, SIOCOUTQ, &queued) == 0) {
    if (queued < sendQueue_) lastMoved_ = now;
    sendQueue_ = queued;
  }
  return now - lastMoved_ > std::chrono::seconds(transfer_.TimeoutSeconds());
}

std::optional<MailStatus> SmtpSender::Finish(MailStatus outcome) {
  if (phase_ == Phase::Data && outcome.ok() && total_ > 0)
    events_.Progress(static_cast<long>(total_), static_cast<long>(total_));
  phase_ = Phase::Idle;
  message_.reset();
  awaiting_ = false;
  out_.clear();
  outOffset_ = 0;
  if (!outcome.ok()) socket_ = CURL_SOCKET_BAD;  // the session is over
  return outcome;
}

void SmtpSender::Wait(std::chrono::milliseconds timeout) {
  if (phase_ == Phase::Connecting) return transfer_.Wait(timeout);
  if (phase_ == Phase::Idle || phase_ == Phase::Preparing || socket_ == CURL_SOCKET_BAD) return;
  if (phase_ == Phase::Data && !messageDone_ && out_.size() - outOffset_ < kDataChunk / 2) return;
  pollfd p{socket_, static_cast<short>(POLLIN | (outOffset_ < out_.size() ? POLLOUT : 0)), 0};
  ::poll(&p, 1, static_cast<int>(std::min<long long>(timeout.count(), 1000)));
}

void SmtpSender::Trace(std::vector<std::string>& lines) {
  if (!events_.TraceWanted()) return;
  for (auto& line : lines) events_.TraceLine(std::move(line));
}

}  // namespace zorvik::mail
