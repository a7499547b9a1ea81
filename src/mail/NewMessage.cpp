#include "mail/NewMessage.h"

#include <cctype>
#include <filesystem>
#include <random>

#include "mail/AttachmentHeaders.h"
#include "mail/ComposerTexts.h"
#include "mail/FileRead.h"
#include "mail/MailHeaders.h"
#include "mail/TextLines.h"

namespace zorvik::mail {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Zorvik";
constexpr const char* kTextFilter = "Text (*.txt)|*.txt";

// The number of a new message's boundary: a whole number below 10^11.
std::string BoundaryNumber() {
  static std::mt19937_64 random{std::random_device{}()};
  std::uniform_int_distribution<std::uint64_t> number(0, 99'999'999'999ULL);
  return std::to_string(number(random));
}

// A file the user picked that the message cannot take: not a readable
// regular file, or too large for a part.
MailStatus CheckAttachable(const std::string& path) {
  std::string none;
  MailStatus s = ReadFileHead(path, 0, none);
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (s.ok() && !ec && size > kMaxAttachmentBytes) {
    s = MailStatus::Error(kErrCannotOpenFile);
    s.description = "Could not open file: \"" + fs::path(path).filename().string() +
                    "\" is larger than " + std::to_string(kMaxAttachmentBytes >> 20) +
                    " MiB, the most an attachment may hold.";
  }
  return s;
}

std::string LineBreakText(const std::string& field) {
  return "The field \"" + field +
         "\" holds a line break. A mail header cannot hold one, so the mail was not sent.";
}

}  // namespace

MailFlags& ProcessMailFlags() {
  static MailFlags flags;
  return flags;
}

long TextValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value > 100'000'000'000L) break;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

// Marks a command or event handler as running for as long as it is in scope.
struct NewMessage::Depth {
  explicit Depth(NewMessage& m) : m_(m) { ++m_.depth_; }
  ~Depth() { --m_.depth_; }
  NewMessage& m_;
};

NewMessage::NewMessage(zorvik::Host& host, const MailSettings& settings, MailFlags& flags,
                       std::string productPage)
    : Mail1(host),
      host_(host),
      settings_(settings),
      flags_(flags),
      productPage_(std::move(productPage)) {
  Mail1.onDone = [this] { Mail1_Done(); };
  Mail1.onAsyncError = [this](int number, const std::string& d) { Mail1_AsyncError(number, d); };
  Mail1.onTraceText = [this](const std::string& text) { Mail1_TraceText(text); };
  Mail1.SetTrace(1);
}

NewMessage::~NewMessage() {
  Mail1.onDone = nullptr;
  Mail1.onAsyncError = nullptr;
  Mail1.onTraceText = nullptr;
}

bool NewMessage::Busy() const {
  return listRunning_ || attaching_ || SendState == 1 || SendState == 2 || Mail1.InUse();
}

void NewMessage::Message(const std::string& text) {
  host_.MsgBox(text, MsgButtons::Ok, MsgIcon::Exclamation, kTitle);
}

void NewMessage::Form_Load() { Mail1.SetFrom(settings_.Email); }

// --- attachments --------------------------------------------------------------------

void NewMessage::Command1_Click() {
  Depth depth(*this);
  if (Busy()) return;
  const auto path = host_.OpenFileDialog({"Attach a File", "All Files (*.*)|*.*", "", ""});
  if (!path) return;
  if (MailStatus s = CheckAttachable(*path); !s.ok()) {
    Message(s.description);
    return;
  }
  attaching_ = true;
  cmbAttachments.push_back(*path);
  cmbAttachmentsIndex = static_cast<int>(cmbAttachments.size()) - 1;
  Changed();

  if (Mail1.ContentType() != "multipart") {
    // The message's first attachment: a multipart message, whose first part
    // is kept for the text.
    const std::string boundary = BoundaryNumber() + "_boundary";
    Mail1.SetContentType("multipart");
    Mail1.SetContentSubtype("mixed");
    Mail1.SetContentParameters("boundary=" + boundary);
    Mail1.SetBoundary(boundary);
    Mail1.SetPartBody(0, "");
    Mail1.SetAction(mMail::kAppendPart);
    Mail1.SetAction(mMail::kDescend);
    Mail1.SetContentType("text");
    Mail1.SetContentSubtype("plain");
    Mail1.SetAction(mMail::kAscend);
  }
  Mail1.SetAction(mMail::kAppendPart);
  Mail1.SetAction(mMail::kDescend);
  const std::string chosen = optBinhex40          ? "mac-binhex40"
                             : optUU              ? "x-uuencode"
                             : optQuotedPrintable ? "quoted-printable"
                                                  : "base64";
  const AttachmentHeaders h =
      HeadersForAttachment(*path, fs::path(*path).filename().string(), chosen);
  Mail1.SetContentType(h.contentType);
  Mail1.SetContentSubtype(h.contentSubtype);
  if (!h.contentParameters.empty()) Mail1.SetContentParameters(h.contentParameters);
  Mail1.SetTransferEncoding(h.transferEncoding);
  Mail1.SetContentDisposition(h.contentDisposition);
  MailStatus loaded;
  if (h.bodyFromBytes) {
    std::string bytes;
    loaded = ReadWholeFile(*path, kMaxAttachmentBytes, bytes, [this] {
      host_.DoEvents();
      return true;
    });
    if (loaded.ok()) Mail1.SetPartBody(0, std::move(bytes));
  } else {
    Mail1.SetFlags(mMail::kFlagAttachFile);
    Mail1.SetMessageFile(*path);
    loaded = Mail1.SetAction(mMail::kLoadFile);
  }
  Mail1.SetAction(mMail::kAscend);
  attaching_ = false;
  // Checked above; this is a file that changed since.
  if (!loaded.ok()) Message(loaded.description);
  Changed();
}

// --- the message ----------------------------------------------------------------------

std::string NewMessage::FieldWithLineBreak(bool withTo) const {
  if (withTo && HasLineBreak(txtTo)) return "To:";
  if (HasLineBreak(txtSubject)) return "Subject:";
  if (HasLineBreak(txtCC)) return "CC:";
  if (HasLineBreak(txtBCC)) return "BCC:";
  return {};
}

void NewMessage::HeaderSetup() {
  Mail1.SetTo(txtTo);
  Mail1.SetSubject(txtSubject);
  Mail1.SetFrom(settings_.Email);
  Mail1.SetCc(txtCC);
  Mail1.SetBcc(txtBCC);
  Mail1.SetHost(settings_.SmtpHost);
  Mail1.SetSenderAddress(settings_.Email);
  Mail1.SetTimeOut(settings_.TimeOut);
}

void NewMessage::TextPart() {
  const bool multipart = Mail1.PartCount() >= 1;
  std::string text = txtBody;
  if (!multipart || txtBody.empty())
    text += "\r\n" + Footer(flags_.NoticeAdded == 1, productPage_);
  if (multipart) {
    // The first part holds the text; it is replaced, never added to.
    Mail1.SetPartIndex(1);
    Mail1.SetPartBody(0, std::move(text));
    Mail1.SetPartIndex(0);
  } else {
    Mail1.SetPartBody(0, std::move(text));
  }
}

// --- the transfer ---------------------------------------------------------------------

MailStatus NewMessage::TransferStart() {
  SendState = 2;
  if (MailStatus s = Mail1.SetAction(mMail::kSmtpConnect); !s.ok()) return s;
  return Mail1.Blocking() ? DoneStep() : MailStatus::Ok();
}

MailStatus NewMessage::DoneStep() {
  host_.SetMousePointer(MousePointer::Default);
  if (SendState == 2) {
    SendState = 1;
    Mail1.SetFlags(mMail::kFlagSend);
    if (MailStatus s = Mail1.SetAction(mMail::kSend); !s.ok()) return s;
    return Mail1.Blocking() ? DoneStep() : MailStatus::Ok();
  }
  if (SendState == 1) {
    SendState = 3;
    MessageSent();
    if (MailStatus s = Mail1.SetAction(mMail::kClose); !s.ok()) return s;
    return Mail1.Blocking() ? DoneStep() : MailStatus::Ok();
  }
  return MailStatus::Ok();
}

void NewMessage::MessageSent() {
  // Counted once the server has the message, whatever happens at the close.
  if (Mail1.Blocking()) txtSent = std::to_string(TextValue(txtSent) + 1);
  if (listRunning_) {
    ++listSent_;
  } else {
    // The component starts a new message by itself.
    cmbAttachments.clear();
    cmbAttachmentsIndex = -1;
  }
  Changed();
}

void NewMessage::EndSend(const MailStatus& s) {
  host_.SetMousePointer(MousePointer::Default);
  SendState = 3;
  if (IsKnownMailError(s.number))
    Message(s.description.empty() ? std::string(MailErrorText(s.number)) : s.description);
  Changed();
}

void NewMessage::EndList(const MailStatus& s, std::size_t line, const std::string& address) {
  host_.SetMousePointer(MousePointer::Default);
  SendState = 3;
  flags_.ListSending = 0;
  std::string text = s.description.empty() ? std::string(MailErrorText(s.number)) : s.description;
  if (!text.empty()) text += "\r\n\r\n";
  text += "Sending from the list stopped at line " + std::to_string(line) + " (" + address +
          "). Messages sent from the list: " + std::to_string(listSent_) +
          ". The next line to send is line " + std::to_string(listSent_ + 1) + ".";
  Message(text);
  Changed();
}

void NewMessage::StartNewMessage() {
  Mail1.ClearMessage();
  cmbAttachments.clear();
  cmbAttachmentsIndex = -1;
}

// --- the send commands -----------------------------------------------------------------

void NewMessage::Send_Click() {
  Depth depth(*this);
  if (Busy()) return;
  if (txtTo.empty()) {
    Message("The mail has no Recipient!");
    if (showForm3) txtTo = showForm3();
    Changed();
  }
  if (txtTo.empty()) {
    Message("Unable to send mail without a Recipient!");
    return;
  }
  if (const std::string field = FieldWithLineBreak(true); !field.empty()) {
    Message(LineBreakText(field));
    return;
  }
  HeaderSetup();
  if (host_.MsgBox("Want to Add Spamnote?", MsgButtons::YesNo, MsgIcon::Question, "SpamNotice") ==
      MsgAnswer::Yes) {
    flags_.NoticeAdded = 1;
    txtBody = txtBody.empty() ? NoticeB(settings_) : NoticeA(settings_, txtBody);
  } else {
    flags_.NoticeAdded = 0;
  }
  TextPart();
  Changed();
  host_.SetMousePointer(MousePointer::Default);
  // One message: the window stays usable while it goes out.
  MailStatus s = Mail1.SetBlocking(false);
  if (s.ok()) s = TransferStart();
  if (!s.ok()) EndSend(s);
  Changed();
}

void NewMessage::Command2_Click() {
  Depth depth(*this);
  if (Busy()) return;
  flags_.ListSending = 1;
  const auto path = host_.OpenFileDialog({"Open mail file", kTextFilter, "", ""});
  if (!path) {
    flags_.ListSending = 0;
    host_.SetMousePointer(MousePointer::Default);
    return;
  }
  Text1 = "Sending from List. Can't show Status!";
  Changed();
  std::vector<std::string> lines;
  MailStatus s = ReadTextLines(*path, lines);
  if (s.ok()) {
    if (const std::string field = FieldWithLineBreak(false); !field.empty()) {
      flags_.ListSending = 0;
      Message(LineBreakText(field));
      return;
    }
    s = Mail1.SetBlocking(false);
    if (s.ok()) s = Mail1.SetBlocking(true);
  }
  if (!s.ok()) {
    flags_.ListSending = 0;
    EndSend(s);
    return;
  }
  if (host_.MsgBox("Want to Add Spamnote?", MsgButtons::YesNo, MsgIcon::Question, "SpamNotice") ==
      MsgAnswer::Yes) {
    flags_.NoticeAdded = 1;
    flags_.SavedBody = txtBody;
  } else {
    flags_.NoticeAdded = 0;
  }

  // The same message for every line: only the text part changes.
  listRunning_ = true;
  listSent_ = 0;
  Mail1.SetKeepMessage(true);
  bool complete = true;
  for (std::size_t n = 0; n < lines.size() && complete; ++n) {
    if (closeRequested_) {
      complete = false;
      break;
    }
    txtTo = lines[n];
    if (HasLineBreak(txtTo)) {
      MailStatus bad = MailStatus::Error(kErrInvalidEntry);
      bad.description = "The line holds a line break, which a mail header cannot hold.";
      EndList(bad, n + 1, txtTo);
      complete = false;
      break;
    }
    HeaderSetup();
    if (flags_.NoticeAdded != 0) {
      if (txtBody.empty()) {
        txtBody = NoticeB(settings_);
      } else {
        flags_.NoticeAdded = 1;
        txtBody = NoticeA(settings_, flags_.SavedBody);
      }
    }
    TextPart();
    Changed();
    host_.SetMousePointer(MousePointer::Hourglass);
    if (MailStatus sent = TransferStart(); !sent.ok()) {
      EndList(sent, n + 1, lines[n]);
      complete = false;
    }
  }
  listRunning_ = false;
  Mail1.SetKeepMessage(false);
  flags_.ListSending = 0;
  // A list that stopped keeps the message, so that the rest can follow.
  if (complete && listSent_ > 0) StartNewMessage();
  host_.SetMousePointer(MousePointer::Default);
  Changed();
}

// --- the component's events -------------------------------------------------------------

void NewMessage::Mail1_Done() {
  Depth depth(*this);
  if (MailStatus s = DoneStep(); !s.ok()) EndSend(s);
  Changed();
}

void NewMessage::Mail1_AsyncError(int, const std::string& description) {
  Depth depth(*this);
  Message(description);
  SendState = 3;
  Mail1.SetAction(mMail::kClose);
  Changed();
}

void NewMessage::Mail1_TraceText(const std::string& text) {
  if (flags_.ListSending == 1) return;
  Text1 += text;
  Changed();
}

// --- the menus ------------------------------------------------------------------------

bool NewMessage::ChooseLines(const std::string& title, std::vector<std::string>& lines) {
  const auto path = host_.OpenFileDialog({title, kTextFilter, "", ""});
  if (!path) return false;
  if (MailStatus s = ReadTextLines(*path, lines); !s.ok()) {
    Message(s.description);
    return false;
  }
  return true;
}

void NewMessage::mnuInsert_Click() {
  Depth depth(*this);
  if (listRunning_) return;
  std::vector<std::string> lines;
  if (!ChooseLines("Save List as...", lines)) return;
  txtBody.clear();
  for (const std::string& line : lines) txtBody += line + "\r\n";
  Changed();
}

void NewMessage::mnuOpenMailFile_Click() {
  Depth depth(*this);
  if (listRunning_) return;
  std::vector<std::string> lines;
  if (!ChooseLines("Save List as...", lines)) return;
  Text1.clear();
  for (const std::string& line : lines) Text1 += line + "\r\n";
  Text1 += "Addresses in the list: " + std::to_string(lines.size());
  Changed();
}

void NewMessage::mnuOpenBCC_Click() {
  Depth depth(*this);
  if (listRunning_) return;
  std::vector<std::string> lines;
  if (!ChooseLines("Open File...", lines)) return;
  txtBCC.clear();
  for (std::size_t n = 0; n < lines.size(); ++n) txtBCC += (n == 0 ? "" : ", ") + lines[n];
  Changed();
}

}  // namespace zorvik::mail
