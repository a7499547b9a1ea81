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
//  - A failed network operation ends the session: the connection is closed
//    (a POP3 mailbox is released) and the next connect starts a fresh one;
//    Blocking can be changed again. Only the refusals 20005 (already
//    connected) and 20006 (busy) leave an open session as it was.
//  - POP3 never loses mail: a fetch counts only once the message file and
//    its folder entry are flushed to disk, and only a message that counts
//    can be deleted. Deletions take effect when the session ends: with QUIT
//    (a close, or a failure while the server still answers) they are
//    carried out; when the link itself fails the server keeps those
//    messages, and the next retrieval fetches them again.
//  - Sending prepares the message in slices between pumps and writes it
//    while it sends: a large message neither holds the caller's event loop
//    nor exists whole in memory.
//  - Time-out (TimeOut): connecting has that limit as a whole; afterwards an
//    operation fails with 10060 only after that many seconds without
//    progress, however long the transfer takes.
//  - Credentials (SMTP AUTH, POP3 USER/PASS) go out in clear only to this
//    machine (localhost, 127.0.0.0/8, ::1). To any other host the session
//    needs TLS; a server that offers none fails the connect with 20004 and a
//    description saying so, and a certificate that cannot be verified fails
//    it with 20004 and "certificate of HOST could not be verified: ...".
// Local operations (2, 4, 7, 9, 13 with Flags 2) finish inside the call in
// either mode, return their outcome and raise no event: a Done from them
// would be taken by the callers' state machines for the end of the network
// operation they start next. Loading a file (9) yields to the event loop
// between megabytes; it refuses anything but a regular file, and files above
// kMaxAttachmentBytes (256 MiB), with 20013.
// A call made while an operation runs (a network operation, or a file being
// loaded) is refused with 20006 from the call itself, so the running
// operation's events and the message being sent stay as they are.
//
// Errors carry a number of the table in MailErrors.h and a description: the
// table's text, or for a few failures a more specific one (an over-size
// file, a server without encryption, a certificate). Show the description.
// Nothing throws across this interface.

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "core/Host.h"
#include "mail/CurlTransfer.h"
#include "mail/FileRead.h"
#include "mail/MailErrors.h"
#include "mail/MimeWriter.h"
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
  // Seconds: the limit for connecting and for silence during a transfer
  // (see above). 0 or less means 60.
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
  MailStatus SetPartIndex(int index) {
    return InUse() ? MailStatus::Error(kErrBusy) : parts_.SetPartIndex(index);
  }
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
  MailStatus SetPartBody(std::string text) { return SetPartBody(0, std::move(text)); }
  MailStatus SetPartBody(int index, std::string text) {
    return InUse() ? MailStatus::Error(kErrBusy) : parts_.SetPartBody(index, std::move(text));
  }
  // Starts a new message: a single empty root part. A successful send does
  // this by itself, unless KeepMessage is true: then the message stays as it
  // was, so that the same message can go out again (to the next recipient
  // of a list).
  MailStatus ClearMessage();
  bool KeepMessage() const { return keepMessage_; }
  void SetKeepMessage(bool keep) { keepMessage_ = keep; }
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
  // True while a network operation runs or a file is being loaded.
  bool InUse() const { return Busy() || loading_; }
  bool Connected() const;

  // EventSource. Active while an operation runs or events wait for the next
  // pump (an operation refused or ended at once reports from there), so
  // that an idle event loop keeps pumping until they are delivered.
  bool Pump() override;
  bool Active() const override { return Busy() || !events_.empty(); }
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

  MailStatus DoPopConnect();
  MailStatus DoSmtpConnect();
  MailStatus DoAppendPart();
  MailStatus DoLoadFile();
  MailStatus DoDeleteMessage();
  MailStatus DoFetch();
  MailStatus DoSend();
  MailStatus DoClose();
  // Runs `op` so that no exception leaves the component: a failure of a
  // network operation (`network`) ends the session like any other.
  template <typename Op_>
  MailStatus Guarded(bool network, Op_&& op);
  MessageHeaders Headers();

  // Runs a network operation whose transfer `start` has begun (or failed to).
  MailStatus Run(Op op, MailStatus started);
  // Ends an operation that needed no transfer.
  MailStatus Complete(MailStatus outcome);
  // Ends a network operation that failed before a transfer, and the session.
  MailStatus Fail(MailStatus outcome);
  void EndSession();
  static bool IsSmtp(Op op);
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
  bool keepMessage_ = false;
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
  bool loading_ = false;
  bool opBlocking_ = false;
  MailStatus blockingOutcome_;
  std::deque<Event> events_;
  bool pumping_ = false;
};

}  // namespace zorvik::mail
