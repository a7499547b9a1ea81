#include "mail/mMail.h"

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "mail/BodyEncoder.h"
#include "mail/MailHeaders.h"
#include "mail/MimeWriter.h"
#include "mail/Pop3Session.h"
#include "mail/SmtpSender.h"
#include "mail/StoredMessage.h"

namespace zorvik::mail {
namespace {

constexpr std::chrono::milliseconds kBlockingSlice{50};

std::string DomainOf(const std::string& address) {
  const std::size_t at = address.rfind('@');
  if (at == std::string::npos) return {};
  std::string domain = address.substr(at + 1);
  for (char c : domain) {
    const auto u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || c == '-' || c == '.')) return {};
  }
  return domain;
}

std::string NewMessageId(const std::string& senderAddress,
                         std::chrono::system_clock::time_point now) {
  static std::mt19937_64 random{std::random_device{}()};
  std::string domain = DomainOf(senderAddress);
  if (domain.empty()) domain = "zorvik.invalid";
  std::ostringstream id;
  id << '<' << std::hex
     << std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count()
     << '.' << random() << '@' << domain << '>';
  return id.str();
}

}  // namespace

mMail::mMail(zorvik::Host& host) : host_(host) { host_.AddEventSource(this); }

mMail::~mMail() {
  *alive_ = false;
  host_.RemoveEventSource(this);
}

bool mMail::Connected() const { return smtp_ != nullptr || pop_ != nullptr; }

int mMail::MessageCount() const { return pop_ ? pop_->MessageCount() : 0; }

MailStatus mMail::SetBlocking(bool blocking) {
  if (blocking == blocking_) return MailStatus::Ok();
  if (Busy() || Connected()) return MailStatus::Error(kErrCannotChangeBlocking);
  blocking_ = blocking;
  return MailStatus::Ok();
}

MailStatus mMail::SetAction(int action) {
  switch (action) {
    case kPopConnect: return PopConnect();
    case kAscend: return Ascend();
    case kSmtpConnect: return SmtpConnect();
    case kAppendPart: return AppendPart();
    case kDescend: return Descend();
    case kClose: return Close();
    case kLoadFile: return LoadFile();
    case kDeleteMessage: return DeleteMessage();
    case kFetch: return Fetch();
    case kSend: return Send();
    default: return MailStatus::Error(kErrInvalidEntry);
  }
}

// --- local operations ------------------------------------------------------

MailStatus mMail::Ascend() { return parts_.Ascend(); }
MailStatus mMail::Descend() { return parts_.Descend(); }

MailStatus mMail::AppendPart() {
  parts_.AppendChild();
  return MailStatus::Ok();
}

MailStatus mMail::LoadFile() {
  messageFileFresh_ = false;
  if (!ParseTransferEncoding(parts_.Current().transferEncoding))
    return MailStatus::Error(kErrInvalidEntry);
  std::ifstream in(messageFile_, std::ios::binary);
  if (messageFile_.empty() || !in) return MailStatus::Error(kErrCannotOpenFile);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return MailStatus::Error(kErrFile);
  MimePart& part = parts_.Current();
  part.body.assign(1, std::move(bytes));
  part.fileName = std::filesystem::path(messageFile_).filename().string();
  return MailStatus::Ok();
}

MailStatus mMail::ComposeMessage(std::string& out) {
  MessageHeaders h;
  h.from = from_;
  h.to = to_;
  h.cc = cc_;
  h.subject = subject_;
  const auto now = host_.Now();
  h.date = date_.empty() ? FormatMailDate(now) : date_;
  const auto senders = SplitAddressList(sender_.empty() ? from_ : sender_);
  h.messageId = NewMessageId(senders.empty() ? std::string() : AddrSpec(senders.front()), now);
  return WriteMessage(h, parts_.Root(), out);
}

// --- network operations ------------------------------------------------------

MailStatus mMail::SmtpConnect() {
  if (Busy()) return MailStatus::Error(kErrBusy);
  if (Connected()) return Complete(MailStatus::Error(kErrAlreadyConnectedToServer));
  smtp_ = std::make_unique<SmtpSender>(static_cast<TransferEvents&>(*this));
  MailAccount account{smtpHost_, smtpUser_, smtpPassword_, EffectiveTimeOut()};
  if (HasLineBreak(smtpUser_) || HasLineBreak(smtpPassword_))
    return Run(Op::SmtpConnect, MailStatus::Error(kErrInvalidEntry));
  return Run(Op::SmtpConnect, smtp_->StartConnect(account));
}

MailStatus mMail::Send() {
  if (Busy()) return MailStatus::Error(kErrBusy);
  if (!smtp_) return Complete(MailStatus::Error(kErrNotConnected));
  for (const std::string* v : {&to_, &cc_, &bcc_, &sender_, &from_}) {
    if (HasLineBreak(*v)) return Complete(MailStatus::Error(kErrInvalidEntry));
  }
  std::vector<std::string> recipients;
  for (const std::string* list : {&to_, &cc_, &bcc_}) {
    for (const std::string& entry : SplitAddressList(*list)) {
      std::string address = AddrSpec(entry);
      if (!address.empty()) recipients.push_back(std::move(address));
    }
  }
  if (recipients.empty()) return Complete(MailStatus::Error(kErrDestinationRequired));
  std::string message;
  if (MailStatus s = ComposeMessage(message); !s.ok()) return Complete(s);
  const auto senders = SplitAddressList(sender_.empty() ? from_ : sender_);
  const std::string envelopeFrom = senders.empty() ? std::string() : AddrSpec(senders.front());
  return Run(Op::SmtpSend, smtp_->StartSend(std::move(message), envelopeFrom, recipients));
}

MailStatus mMail::PopConnect() {
  if (Busy()) return MailStatus::Error(kErrBusy);
  if (Connected()) return Complete(MailStatus::Error(kErrAlreadyConnectedToServer));
  if (popUser_.empty()) return Complete(MailStatus::Error(kErrInvalidUserName));
  if (HasLineBreak(popUser_)) return Complete(MailStatus::Error(kErrInvalidUserName));
  if (HasLineBreak(popPassword_)) return Complete(MailStatus::Error(kErrInvalidPassword));
  pop_ = std::make_unique<Pop3Session>(static_cast<TransferEvents&>(*this));
  MailAccount account{popHost_, popUser_, popPassword_, EffectiveTimeOut()};
  return Run(Op::PopConnect, pop_->StartConnect(account));
}

MailStatus mMail::Fetch() {
  if ((flags_ & kFlagFetchMailbox) == 0) {
    if ((flags_ & kFlagReadStoredFile) == 0) return MailStatus::Error(kErrInvalidEntry);
    // Reading a stored message is local.
    messageFileFresh_ = false;
    StoredMessageSummary summary;
    MailStatus s = ReadStoredMessageFile(messageFile_, summary);
    if (s.ok()) {
      subject_ = std::move(summary.subject);
      from_ = std::move(summary.from);
      date_ = std::move(summary.date);
    }
    return s;
  }
  if (Busy()) return MailStatus::Error(kErrBusy);
  if (!pop_) return Complete(MailStatus::Error(kErrNotConnected));
  FetchTarget target;
  if (messageFileFresh_ && !messageFile_.empty()) {
    target.file = messageFile_;
  } else if (!mailDirectory_.empty()) {
    target.directory = mailDirectory_;
  } else {
    return Complete(MailStatus::Error(kErrCannotOpenFile));
  }
  messageFileFresh_ = false;
  return Run(Op::PopFetch, pop_->StartFetch(target));
}

MailStatus mMail::DeleteMessage() {
  if (Busy()) return MailStatus::Error(kErrBusy);
  if (!pop_) return Complete(MailStatus::Error(kErrNotConnected));
  return Run(Op::PopDelete, pop_->StartDelete());
}

MailStatus mMail::Close() {
  if (Busy()) return MailStatus::Error(kErrBusy);
  if (smtp_) return Run(Op::SmtpClose, smtp_->StartClose());
  if (pop_) return Run(Op::PopClose, pop_->StartClose());
  return Complete(MailStatus::Ok());
}

// --- running operations and delivering events -------------------------------

MailStatus mMail::Complete(MailStatus outcome) {
  if (blocking_) return outcome;
  if (outcome.ok()) events_.emplace_back(DoneEvent{});
  else events_.emplace_back(ErrorEvent{outcome.number, outcome.description});
  return MailStatus::Ok();
}

MailStatus mMail::Run(Op op, MailStatus started) {
  if (!started.ok()) {
    // Nothing went out: a session that never connected, or one that cannot
    // even say goodbye, is dropped.
    if (op == Op::SmtpConnect || op == Op::SmtpClose) smtp_.reset();
    if (op == Op::PopConnect || op == Op::PopClose) pop_.reset();
    return Complete(started);
  }
  op_ = op;
  opBlocking_ = blocking_;
  if (!opBlocking_) return MailStatus::Ok();
  const auto alive = alive_;
  while (op_ != Op::None) {
    Drive();
    Deliver();
    if (!*alive) return MailStatus::Error(kErrInternalState);
    if (op_ == Op::None) break;
    host_.WaitEvents(kBlockingSlice);
    if (!*alive) return MailStatus::Error(kErrInternalState);
  }
  return blockingOutcome_;
}

CurlTransfer* mMail::ActiveTransfer() {
  switch (op_) {
    case Op::SmtpConnect:
    case Op::SmtpSend:
    case Op::SmtpClose:
      return smtp_ ? &smtp_->Transfer() : nullptr;
    case Op::PopConnect:
    case Op::PopFetch:
    case Op::PopDelete:
    case Op::PopClose:
      return pop_ ? &pop_->Transfer() : nullptr;
    case Op::None:
      break;
  }
  return nullptr;
}

void mMail::Drive() {
  CurlTransfer* transfer = ActiveTransfer();
  if (transfer == nullptr) return;
  if (auto outcome = transfer->Drive()) OnFinished(std::move(*outcome));
}

void mMail::OnFinished(MailStatus outcome) {
  const Op op = op_;
  switch (op) {
    case Op::PopConnect:
    case Op::PopFetch:
    case Op::PopDelete:
    case Op::PopClose:
      outcome = pop_->Finish(std::move(outcome));
      break;
    default:
      break;
  }
  switch (op) {
    case Op::SmtpConnect:
      if (!outcome.ok()) smtp_.reset();
      break;
    case Op::SmtpSend:
      // The message has gone: the next one starts from an empty tree.
      if (outcome.ok()) parts_.Clear();
      break;
    case Op::SmtpClose:
      smtp_.reset();
      break;
    case Op::PopConnect:
      if (!outcome.ok()) pop_.reset();
      break;
    case Op::PopFetch:
      if (outcome.ok()) {
        messageFile_ = pop_->LastFile().string();
        messageFileFresh_ = false;
      }
      break;
    case Op::PopClose:
      pop_.reset();
      break;
    default:
      break;
  }
  op_ = Op::None;
  if (opBlocking_) {
    blockingOutcome_ = std::move(outcome);
  } else if (outcome.ok()) {
    events_.emplace_back(DoneEvent{});
  } else {
    events_.emplace_back(ErrorEvent{outcome.number, outcome.description});
  }
}

void mMail::TraceLine(std::string line) {
  if (trace_) events_.emplace_back(TraceEvent{std::move(line) + "\r\n"});
}

void mMail::Progress(long done, long total) {
  // Reports nobody has seen yet are replaced by the newest.
  if (!events_.empty()) {
    if (auto* last = std::get_if<ProgressEvent>(&events_.back())) {
      *last = ProgressEvent{done, total};
      return;
    }
  }
  events_.emplace_back(ProgressEvent{done, total});
}

void mMail::Deliver() {
  const auto alive = alive_;
  while (!events_.empty()) {
    Event event = std::move(events_.front());
    events_.pop_front();
    if (std::holds_alternative<DoneEvent>(event)) {
      if (onDone) onDone();
    } else if (auto* e = std::get_if<ErrorEvent>(&event)) {
      if (onAsyncError) onAsyncError(e->number, e->description);
    } else if (auto* p = std::get_if<ProgressEvent>(&event)) {
      if (onProgress) onProgress(p->done, p->total);
    } else if (auto* t = std::get_if<TraceEvent>(&event)) {
      if (onTraceText) onTraceText(t->text);
    }
    if (!*alive) return;
  }
}

bool mMail::Pump() {
  if (pumping_) return false;
  pumping_ = true;
  const auto alive = alive_;
  const Op before = op_;
  const bool hadEvents = !events_.empty();
  Drive();
  const bool progress = hadEvents || !events_.empty() || op_ != before;
  Deliver();
  if (*alive) pumping_ = false;
  return progress;
}

void mMail::WaitForActivity(std::chrono::milliseconds timeout) {
  if (CurlTransfer* transfer = ActiveTransfer()) transfer->Wait(timeout);
}

}  // namespace zorvik::mail
