#include "mail/MailRetrieval.h"

#include <system_error>

#include "core/ProgramDirectory.h"
#include "mail/StoredMessageList.h"

namespace zorvik::mail {

namespace fs = std::filesystem;

namespace {
constexpr const char* kTitle = "Zorvik";
}

std::string AsyncErrorText(int number, const std::string& description) {
  return "AsyncError: " + description + "(" + (number >= 0 ? " " : "") + std::to_string(number) +
         ")";
}

std::string PercentageText(long done, long total) {
  if (total == 0) return "0";
  const long long percent = static_cast<long long>(done) * 100 / total;
  return std::to_string(percent) + "%";
}

MailRetrieval::MailRetrieval(zorvik::Host& host) : Mail1(host), host_(host) {
  Mail1.onDone = [this] { Mail1_Done(); };
  Mail1.onAsyncError = [this](int number, const std::string& text) { Mail1_AsyncError(number, text); };
  Mail1.onProgress = [this](long done, long total) { Mail1_Progress(done, total); };
  // Trace text that arrives is not shown by the main window.
  host_.AddEventSource(this);
}

MailRetrieval::~MailRetrieval() { host_.RemoveEventSource(this); }

fs::path MailRetrieval::InboxOf(const std::string& mailDirectory) {
  fs::path dir(mailDirectory);
  if (dir.empty() || dir.is_relative()) dir = ProgramDirectory() / dir;
  return dir / kInboxFolder;
}

void MailRetrieval::chkHostDelete_Click() {
  if (chkHostDelete) {
    host_.MsgBox("Messages will be deleted after they are read from the host.", MsgButtons::Ok,
                 MsgIcon::Exclamation, kTitle);
  }
}

void MailRetrieval::chkTrace_Click() { Mail1.SetTrace(chkTrace ? 1 : 0); }

void MailRetrieval::chkBlocking_Click() {
  Mail1.SetBlocking(chkBlocking);
  chkBlocking = Mail1.Blocking();
  Changed();
}

void MailRetrieval::mnuGetMail_Click(const MailSettings& settings,
                                     const std::string& mailDirectory) {
  if (!mnuGetMailEnabled || RetrieveState != 0 || Timer1Enabled) return;
  inbox_ = InboxOf(mailDirectory);
  std::error_code ec;
  fs::create_directories(inbox_, ec);
  if (!fs::is_directory(inbox_, ec)) {
    host_.MsgBox("The folder \"" + inbox_.string() + "\" for fetched mail cannot be created.",
                 MsgButtons::Ok, MsgIcon::Exclamation, kTitle);
    return;
  }
  Mail1.SetPopHost(settings.PopHost);
  Mail1.SetPopUserName(settings.PopUserName);
  Mail1.SetPopPassword(settings.PopPassword);
  Mail1.SetTimeOut(settings.TimeOut);
  Mail1.SetMailDirectory(inbox_.string());
  mnuGetMailEnabled = false;
  NextAction = mMail::kPopConnect;
  Timer1Enabled = true;
  Changed();
}

void MailRetrieval::Act(int action) {
  const MailStatus status = Mail1.SetAction(action);
  if (!status.ok()) {
    Mail1_AsyncError(status.number, status.description);
  } else if (Mail1.Blocking()) {
    Mail1_Done();
  }
}

void MailRetrieval::Timer1_Timer() {
  if (TimerBusy) return;
  TimerBusy = true;
  Timer1Enabled = false;
  switch (NextAction) {
    case mMail::kPopConnect:
      RetrieveState = 7;
      Act(mMail::kPopConnect);
      break;
    case mMail::kFetch:
      RetrieveState = 1;
      ++MessageIndex;
      Mail1.SetFlags(mMail::kFlagFetchMailbox);
      Act(mMail::kFetch);
      break;
    case mMail::kDeleteMessage:
      RetrieveState = 10;
      Act(mMail::kDeleteMessage);
      break;
    case mMail::kClose:
      RetrieveState = 9;
      Act(mMail::kClose);
      break;
    default:
      break;
  }
  TimerBusy = false;
  Changed();
}

void MailRetrieval::Mail1_Done() {
  switch (RetrieveState) {
    case 7:
      RetrieveState = 1;
      if (Mail1.MessageCount() != 0) {
        MessageIndex = 0;
        NextAction = mMail::kFetch;
        Timer1Enabled = true;
      } else {
        host_.MsgBox("No mail waiting", MsgButtons::Ok, MsgIcon::None, kTitle);
        RetrieveState = 9;
        Act(mMail::kClose);
      }
      break;
    case 1:
      if (chkHostDelete) {
        NextAction = mMail::kDeleteMessage;
      } else {
        NextAction = MessageIndex < Mail1.MessageCount() ? mMail::kFetch : mMail::kClose;
      }
      Timer1Enabled = true;
      break;
    case 10:
      NextAction = MessageIndex < Mail1.MessageCount() ? mMail::kFetch : mMail::kClose;
      Timer1Enabled = true;
      break;
    case 9:
      Finish();
      break;
    default:
      break;
  }
  Changed();
}

void MailRetrieval::Finish() {
  RetrieveState = 0;
  NextAction = 0;
  Timer1Enabled = false;
  mnuGetMailEnabled = true;
  if (!inbox_.empty()) textBody = ListStoredMessages(inbox_, host_).Text();
}

void MailRetrieval::Mail1_AsyncError(int number, const std::string& description) {
  host_.MsgBox(AsyncErrorText(number, description), MsgButtons::Ok, MsgIcon::None, kTitle);
  // A failed operation ends the retrieval: a session the component still
  // holds is closed first, so that the mailbox is released.
  if (RetrieveState == 0) return;
  Timer1Enabled = false;
  if (RetrieveState != 9 && Mail1.Connected() && !Mail1.Busy()) {
    RetrieveState = 9;
    Act(mMail::kClose);
  } else {
    Finish();
  }
  Changed();
}

void MailRetrieval::Mail1_Progress(long done, long total) {
  lblPercentage = PercentageText(done, total);
  Changed();
}

bool MailRetrieval::Pump() {
  if (!Timer1Enabled) return false;
  Timer1_Timer();
  return true;
}

}  // namespace zorvik::mail
