#include "mail/mMail.h"

#include <filesystem>
#include <optional>
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
  if (InUse() || Connected()) return MailStatus::Error(kErrCannotChangeBlocking);
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

template <typename Op_>
MailStatus mMail::Guarded(bool network, Op_&& op) {
  const auto alive = alive_;
  int number = kErrInternalState;
  try {
    return op();
  } catch (const std::bad_alloc&) {
    number = kErrNoBuffers;
  } catch (const std::exception&) {
  }
  if (!*alive) return MailStatus::Error(number);
  loading_ = false;
  if (!network) return MailStatus::Error(number);
  op_ = Op::None;
  return Fail(MailStatus::Error(number));
}

MailStatus mMail::PopConnect() { return Guarded(true, [this] { return DoPopConnect(); }); }
MailStatus mMail::SmtpConnect() { return Guarded(true, [this] { return DoSmtpConnect(); }); }
MailStatus mMail::Close() { return Guarded(true, [this] { return DoClose(); }); }
MailStatus mMail::DeleteMessage() { return Guarded(true, [this] { return DoDeleteMessage(); }); }
MailStatus mMail::Send() { return Guarded(true, [this] { return DoSend(); }); }
MailStatus mMail::Fetch() {
  return Guarded((flags_ & kFlagFetchMailbox) != 0, [this] { return DoFetch(); });
}
MailStatus mMail::AppendPart() { return Guarded(false, [this] { return DoAppendPart(); }); }
MailStatus mMail::LoadFile() { return Guarded(false, [this] { return DoLoadFile(); }); }

// --- local operations ------------------------------------------------------

MailStatus mMail::Ascend() { return InUse() ? MailStatus::Error(kErrBusy) : parts_.Ascend(); }
MailStatus mMail::Descend() { return InUse() ? MailStatus::Error(kErrBusy) : parts_.Descend(); }

MailStatus mMail::DoAppendPart() {
  if (InUse()) return MailStatus::Error(kErrBusy);
  return parts_.AppendChild();
}

MailStatus mMail::ClearMessage() {
  if (InUse()) return MailStatus::Error(kErrBusy);
  parts_.Clear();
  return MailStatus::Ok();
}

MailStatus mMail::DoLoadFile() {
  if (InUse()) return MailStatus::Error(kErrBusy);
  messageFileFresh_ = false;
  if (!ParseTransferEncoding(parts_.Current().transferEncoding))
    return MailStatus::Error(kErrInvalidEntry);
  const std::string path = messageFile_;
  std::string bytes;
  // Other events may run while the file is read; they find the component
  // in use. The component may even be gone when the read returns.
  const auto alive = alive_;
  loading_ = true;
  MailStatus s = ReadWholeFile(path, kMaxAttachmentBytes, bytes, [this, &alive] {
    host_.DoEvents();
    return *alive;
  });
  if (!*alive) return MailStatus::Error(kErrInternalState);
  loading_ = false;
  if (!s.ok()) return s;
  MimePart& part = parts_.Current();
  part.body.clear();
  part.body.push_back(std::move(bytes));
  part.fileName = std::filesystem::path(path).filename().string();
  return MailStatus::Ok();
}

MessageHeaders mMail::Headers() {
  MessageHeaders h;
  h.from = from_;
  h.to = to_;
  h.cc = cc_;
  h.subject = subject_;
  const auto now = host_.Now();
  h.date = date_.empty() ? FormatMailDate(now) : date_;
  const auto senders = SplitAddressList(sender_.empty() ? from_ : sender_);
  h.messageId = NewMessageId(senders.empty() ? std::string() : AddrSpec(senders.front()), now);
  return h;
}

MailStatus mMail::ComposeMessage(std::string& out) {
  return Guarded(false, [&] { return WriteMessage(Headers(), parts_.Root(), out); });
}

// --- network operations ------------------------------------------------------

MailStatus mMail::DoSmtpConnect() {
  if (InUse()) return MailStatus::Error(kErrBusy);
  if (Connected()) return Complete(MailStatus::Error(kErrAlreadyConnectedToServer));
  if (HasLineBreak(smtpUser_) || HasLineBreak(smtpPassword_))
    return Fail(MailStatus::Error(kErrInvalidEntry));
  smtp_ = std::make_unique<SmtpSender>(static_cast<TransferEvents&>(*this));
  MailAccount account{smtpHost_, smtpUser_, smtpPassword_, EffectiveTimeOut()};
  return Run(Op::SmtpConnect, smtp_->StartConnect(account));
}

MailStatus mMail::DoSend() {
  if (InUse()) return MailStatus::Error(kErrBusy);
  if (!smtp_) return Complete(MailStatus::Error(kErrNotConnected));
  // Envelope addresses go into SMTP commands: bare addresses only.
  std::vector<std::string> recipients;
  for (const std::string* list : {&to_, &cc_, &bcc_}) {
    if (HasLineBreak(*list)) return Fail(MailStatus::Error(kErrInvalidEntry));
    for (const std::string& entry : SplitAddressList(*list)) {
      std::string address;
      if (!EnvelopeAddress(entry, address)) return Fail(MailStatus::Error(kErrInvalidEntry));
      if (!address.empty()) recipients.push_back(std::move(address));
    }
  }
  if (recipients.empty()) return Fail(MailStatus::Error(kErrDestinationRequired));
  if (HasLineBreak(sender_) || HasLineBreak(from_)) return Fail(MailStatus::Error(kErrInvalidEntry));
  const auto senders = SplitAddressList(sender_.empty() ? from_ : sender_);
  std::string envelopeFrom;
  if (!senders.empty() && !EnvelopeAddress(senders.front(), envelopeFrom))
    return Fail(MailStatus::Error(kErrInvalidEntry));
  auto message = std::make_unique<MessageWriter>();
  if (MailStatus s = message->Start(Headers(), parts_.Root()); !s.ok()) return Fail(s);
  return Run(Op::SmtpSend, smtp_->StartSend(std::move(message), envelopeFrom, recipients));
}

MailStatus mMail::DoPopConnect() {
  if (InUse()) return MailStatus::Error(kErrBusy);
  if (Connected()) return Complete(MailStatus::Error(kErrAlreadyConnectedToServer));
  if (popUser_.empty() || HasLineBreak(popUser_)) return Fail(MailStatus::Error(kErrInvalidUserName));
  if (HasLineBreak(popPassword_)) return Fail(MailStatus::Error(kErrInvalidPassword));
  pop_ = std::make_unique<Pop3Session>(static_cast<TransferEvents&>(*this));
  MailAccount account{popHost_, popUser_, popPassword_, EffectiveTimeOut()};
  return Run(Op::PopConnect, pop_->StartConnect(account));
}

MailStatus mMail::DoFetch() {
  if (InUse()) return MailStatus::Error(kErrBusy);
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
  if (!pop_) return Complete(MailStatus::Error(kErrNotConnected));
  FetchTarget target;
  if (messageFileFresh_ && !messageFile_.empty()) {
    target.file = messageFile_;
  } else if (!mailDirectory_.empty()) {
    target.directory = mailDirectory_;
  } else {
    return Fail(MailStatus::Error(kErrCannotOpenFile));
  }
  messageFileFresh_ = false;
  return Run(Op::PopFetch, pop_->StartFetch(target));
}

MailStatus mMail::DoDeleteMessage() {
  if (InUse()) return MailStatus::Error(kErrBusy);
  if (!pop_) return Complete(MailStatus::Error(kErrNotConnected));
  return Run(Op::PopDelete, pop_->StartDelete());
}

MailStatus mMail::DoClose() {
  if (InUse()) return MailStatus::Error(kErrBusy);
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

MailStatus mMail::Fail(MailStatus outcome) {
  EndSession();
  return Complete(std::move(outcome));
}

void mMail::EndSession() {
  // Dropping a session closes its connection: without QUIT for SMTP; for
  // POP3 libcurl says QUIT when the connection still works, which carries
  // out the deletions (each of a message already stored).
  smtp_.reset();
  pop_.reset();
}

MailStatus mMail::Run(Op op, MailStatus started) {
  if (!started.ok()) return Fail(std::move(started));
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

bool mMail::IsSmtp(Op op) { return op == Op::SmtpConnect || op == Op::SmtpSend || op == Op::SmtpClose; }

void mMail::Drive() {
  if (op_ == Op::None) return;
  std::optional<MailStatus> outcome;
  try {
    if (IsSmtp(op_)) {
      if (smtp_) outcome = smtp_->Drive();
    } else if (pop_) {
      outcome = pop_->Transfer().Drive();
      if (outcome) outcome = pop_->Finish(std::move(*outcome));
    }
  } catch (const std::bad_alloc&) {
    outcome = MailStatus::Error(kErrNoBuffers);
  } catch (const std::exception&) {
    outcome = MailStatus::Error(kErrInternalState);
  }
  if (outcome) OnFinished(std::move(*outcome));
}

void mMail::OnFinished(MailStatus outcome) {
  const Op op = op_;
  op_ = Op::None;
  if (!outcome.ok()) {
    EndSession();
  } else if (op == Op::SmtpSend) {
    // The message has gone: the next one starts from an empty tree.
    if (!keepMessage_) parts_.Clear();
  } else if (op == Op::PopFetch) {
    messageFile_ = pop_->LastFile().string();
    messageFileFresh_ = false;
  } else if (op == Op::SmtpClose || op == Op::PopClose) {
    EndSession();
  }
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
  if (op_ == Op::None) return;
  if (IsSmtp(op_)) {
    if (smtp_) smtp_->Wait(timeout);
  } else if (pop_) {
    pop_->Transfer().Wait(timeout);
  }
}

}  // namespace zorvik::mail
