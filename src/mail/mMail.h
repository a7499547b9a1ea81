#pragma once
// mMail: the mail transport component. It holds one MIME message as a tree
// of parts, sends it over SMTP, fetches and deletes messages over POP3 and
// reads the summary of stored message files.
//
// Callers set properties and start operations, either by number through
// SetAction (1 POP3 connect, 2 ascend, 3 SMTP connect, 4 append a child
// part, 7 descend, 8 close, 9 load MessageFile into the current part,
// 10 delete the message fetched last, 13 fetch the next message (Flags 4) or
// read MessageFile (Flags 2), 15 send) or by the named operations.
//
// Network operations (1, 3, 8, 10, 13 with Flags 4, 15):
//  - Blocking: the call returns when the operation has ended, with its
//    outcome; no Done follows. While it waits it yields through
//    Host::WaitEvents, and the only events it raises are TraceText and
//    Progress.
//  - Not blocking: the call starts the operation and returns success; Done or
//    AsyncError(number, description) follows from a pump of the Host.
// Local operations (2, 4, 7, 9, 13 with Flags 2) finish inside the call in
// either mode, return their outcome and raise no event: a Done from them
// would be taken by the callers' state machines for the end of the network
// operation they start next.
// A call made while a network operation runs is refused with 20006 from the
// call itself, so the running operation's events stay its own.
// Nothing throws across this interface.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "core/Host.h"
#include "mail/CurlTransfer.h"
#include "mail/MailErrors.h"
#include "mail/PartTree.h"

namespace zorvik::mail {

class SmtpSender;
class Pop3Session;

class mMail : public EventSource, private TransferEvents {
 public:
  enum ActionCode : int {
    kPopConnect = 1,
    kAscend = 2,
    kSmtpConnect = 3,
    kAppendPart = 4,
    kDescend = 7,
    kClose = 8,
    kLoadFile = 9,
    kDeleteMessage = 10,
    kFetch = 13,
    kSend = 15,
  };
  enum FlagBits : int {
    kFlagReadStoredFile = 2,  // Action 13 reads MessageFile
    kFlagFetchMailbox = 4,    // Action 13 fetches from the POP3 host
    kFlagSend = 64,
    kFlagAttachFile = 130,
  };

  explicit mMail(zorvik::Host& host);
  ~mMail() override;
  mMail(const mMail&) = delete;
  mMail& operator=(const mMail&) = delete;

  // --- operations -------------------------------------------------------
  MailStatus SetAction(int action);
  MailStatus PopConnect();
  MailStatus Ascend();
  MailStatus SmtpConnect();
  MailStatus AppendPart();
  MailStatus Descend();
  MailStatus Close();
  MailStatus LoadFile();
  MailStatus DeleteMessage();
  MailStatus Fetch();
  MailStatus Send();

  // --- options ----------------------------------------------------------
  int Flags() const { return flags_; }
  void SetFlags(int flags) { flags_ = flags; }
  bool Blocking() const { return blocking_; }
  // 20007 while an operation runs or a connection is open.
  MailStatus SetBlocking(bool blocking);
  int Trace() const { return trace_ ? 1 : 0; }
  void SetTrace(int trace) { trace_ = trace != 0; }
  // Seconds; bounds every network operation. 0 or less means 60.
  int TimeOut() const { return timeOut_; }
  void SetTimeOut(int seconds) { timeOut_ = seconds; }

  // --- message headers and servers ----------------------------------------
  std::string Host() const { return smtpHost_; }  // SMTP server, "name[:port]"
  void SetHost(std::string v) { smtpHost_ = std::move(v); }
  std::string SmtpUserName() const { return smtpUser_; }  // AUTH when not empty
  void SetSmtpUserName(std::string v) { smtpUser_ = std::move(v); }
  void SetSmtpPassword(std::string v) { smtpPassword_ = std::move(v); }
  std::string From() const { return from_; }
  void SetFrom(std::string v) { from_ = std::move(v); }
  std::string SenderAddress() const { return sender_; }  // envelope sender
  void SetSenderAddress(std::string v) { sender_ = std::move(v); }
  std::string To() const { return to_; }
  void SetTo(std::string v) { to_ = std::move(v); }
  std::string Cc() const { return cc_; }
  void SetCc(std::string v) { cc_ = std::move(v); }
  std::string Bcc() const { return bcc_; }
  void SetBcc(std::string v) { bcc_ = std::move(v); }
  std::string Subject() const { return subject_; }
  void SetSubject(std::string v) { subject_ = std::move(v); }
  // Written as given; when empty the send writes the current time.
  std::string Date() const { return date_; }
  void SetDate(std::string v) { date_ = std::move(v); }

  std::string PopHost() const { return popHost_; }  // "name[:port]"
  void SetPopHost(std::string v) { popHost_ = std::move(v); }
  std::string PopUserName() const { return popUser_; }
  void SetPopUserName(std::string v) { popUser_ = std::move(v); }
  void SetPopPassword(std::string v) { popPassword_ = std::move(v); }
  int MessageCount() const;

  // Path of an attachment to load or a stored message to read, or where the
  // next fetch writes. A path given by the caller serves one operation; after
  // a fetch it names the file written.
  std::string MessageFile() const { return messageFile_; }
  void SetMessageFile(std::string v) {
    messageFile_ = std::move(v);
    messageFileFresh_ = true;
  }
  // Where fetched messages go as "N.msg" when no MessageFile was given.
  std::string MailDirectory() const { return mailDirectory_; }
  void SetMailDirectory(std::string v) { mailDirectory_ = std::move(v); }

  // --- the part tree --------------------------------------------------------
  int PartCount() const { return parts_.PartCount(); }
  int PartIndex() const { return parts_.PartIndex(); }
  MailStatus SetPartIndex(int index) { return parts_.SetPartIndex(index); }
  std::string ContentType() const { return parts_.Current().contentType; }
  void SetContentType(std::string v) { parts_.Current().contentType = std::move(v); }
  std::string ContentSubtype() const { return parts_.Current().contentSubtype; }
  void SetContentSubtype(std::string v) { parts_.Current().contentSubtype = std::move(v); }
  std::string ContentParameters() const { return parts_.Current().contentParameters; }
  void SetContentParameters(std::string v) { parts_.Current().contentParameters = std::move(v); }
  std::string Boundary() const { return parts_.Current().boundary; }
  void SetBoundary(std::string v) { parts_.Current().boundary = std::move(v); }
  std::string TransferEncoding() const { return parts_.Current().transferEncoding; }
  void SetTransferEncoding(std::string v) { parts_.Current().transferEncoding = std::move(v); }
  std::string ContentDisposition() const { return parts_.Current().contentDisposition; }
  void SetContentDisposition(std::string v) { parts_.Current().contentDisposition = std::move(v); }
  std::string PartBody(int index = 0) const { return parts_.PartBody(index); }
  MailStatus SetPartBody(std::string text) { return parts_.SetPartBody(0, std::move(text)); }
  MailStatus SetPartBody(int index, std::string text) {
    return parts_.SetPartBody(index, std::move(text));
  }
  // Starts a new message: a single empty root part. A successful send does
  // this by itself.
  void ClearMessage() { parts_.Clear(); }
  const PartTree& Parts() const { return parts_; }

  // The message as the next send would write it (Date and Message-ID made
  // now when not set).
  MailStatus ComposeMessage(std::string& out);

  // --- events -----------------------------------------------------------
  std::function<void()> onDone;
  std::function<void(int number, const std::string& description)> onAsyncError;
  std::function<void(long done, long total)> onProgress;
  std::function<void(const std::string& text)> onTraceText;

  // True while a network operation runs.
  bool Busy() const { return op_ != Op::None; }
  bool Connected() const;

  // EventSource
  bool Pump() override;
  bool Active() const override { return Busy(); }
  void WaitForActivity(std::chrono::milliseconds timeout) override;

 private:
  enum class Op { None, SmtpConnect, SmtpSend, SmtpClose, PopConnect, PopFetch, PopDelete, PopClose };
  struct DoneEvent {};
  struct ErrorEvent {
    int number;
    std::string description;
  };
  struct ProgressEvent {
    long done;
    long total;
  };
  struct TraceEvent {
    std::string text;
  };
  using Event = std::variant<DoneEvent, ErrorEvent, ProgressEvent, TraceEvent>;

  // TransferEvents
  bool TraceWanted() const override { return trace_; }
  void TraceLine(std::string line) override;
  void Progress(long done, long total) override;

  // Runs a network operation whose transfer `start` has begun (or failed to).
  MailStatus Run(Op op, MailStatus started);
  // Ends an operation that needed no transfer.
  MailStatus Complete(MailStatus outcome);
  CurlTransfer* ActiveTransfer();
  void Drive();
  void OnFinished(MailStatus outcome);
  void Deliver();
  int EffectiveTimeOut() const { return timeOut_ > 0 ? timeOut_ : 60; }

  zorvik::Host& host_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  PartTree parts_;

  int flags_ = 0;
  bool blocking_ = false;
  bool trace_ = false;
  int timeOut_ = 60;
  std::string smtpHost_, smtpUser_, smtpPassword_;
  std::string from_, sender_, to_, cc_, bcc_, subject_, date_;
  std::string popHost_, popUser_, popPassword_;
  std::string messageFile_;
  bool messageFileFresh_ = false;
  std::string mailDirectory_;

  std::unique_ptr<SmtpSender> smtp_;
  std::unique_ptr<Pop3Session> pop_;
  Op op_ = Op::None;
  bool opBlocking_ = false;
  MailStatus blockingOutcome_;
  std::deque<Event> events_;
  bool pumping_ = false;
};

}  // namespace zorvik::mail
