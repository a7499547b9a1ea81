#pragma once
// The main window's POP3 retrieval: connect, learn how many messages wait,
// fetch them one after another into the mail directory's "Inbox" folder,
// optionally delete each from the host after it is stored, close. A small
// state machine driven by the mail component's Done event and by a one-shot
// timer, Timer1, that starts each next operation outside the event that
// announced the previous one:
//
//   idle (0) -> connect -> connected (7) -> fetched (1) <-> deleted (10)
//            -> closing (9) -> idle (0)
//
// With n messages waiting the operations are connect, fetch x n, close, or,
// with "Host Delete" ticked, connect, (fetch, delete) x n, close. A failed
// operation shows its message and ends the retrieval (the component has
// ended the session); the "Get Mail" command is disabled from the start of a
// retrieval until it has ended.
//
// Timer1 is an event source of the Host: a tick runs at the next pump after
// the timer was enabled, and disables the timer again.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "core/Host.h"
#include "mail/mMail.h"
#include "settings/MailSettings.h"

namespace zorvik::mail {

class MailRetrieval : public EventSource {
 public:
  static constexpr const char* kInboxFolder = "Inbox";

  // Registers Timer1 with `host`, which must outlive the object.
  explicit MailRetrieval(zorvik::Host& host);
  ~MailRetrieval() override;
  MailRetrieval(const MailRetrieval&) = delete;
  MailRetrieval& operator=(const MailRetrieval&) = delete;

  // The "Inbox" folder of a mail directory; an empty or relative directory
  // is taken from the program directory.
  static std::filesystem::path InboxOf(const std::string& mailDirectory);

  // --- retrieval state --------------------------------------------------------
  // 0 idle, 7 connected, 1 a message fetched, 10 a message deleted,
  // 9 closing or closed.
  std::int16_t RetrieveState = 0;
  // The operation the next tick starts: 1 connect, 13 fetch the next message,
  // 10 delete the message just fetched, 8 close; any other value none.
  std::int16_t NextAction = 0;
  // Messages fetched in this retrieval. Wider than 16 bits so that a mailbox
  // of more than 32,767 messages cannot wrap it.
  std::int32_t MessageIndex = 0;
  bool TimerBusy = false;  // a tick is running
  bool Timer1Enabled = false;

  // --- controls -----------------------------------------------------------------
  // The check boxes hold their ticks; the window sets the new tick and then
  // calls the box's Click command.
  bool chkHostDelete = false;  // "Host &Delete"
  bool chkTrace = false;       // "T&race"
  bool chkBlocking = false;    // "&Blocking"
  std::string lblPercentage;
  std::string textBody;            // the stored messages, listed when a retrieval ends
  bool mnuGetMailEnabled = true;   // "&Get Mail"

  mMail Mail1;

  // --- commands -----------------------------------------------------------------
  void chkHostDelete_Click();
  void chkTrace_Click();
  // Sets the component's Blocking mode; while a connection is open the
  // component refuses and the box goes back to the mode in force.
  void chkBlocking_Click();
  // Start-up: the box shows the component's Blocking mode.
  void ShowBlockingMode() { chkBlocking = Mail1.Blocking(); }
  // "&Get Mail": starts a retrieval with the account of `settings` into the
  // "Inbox" folder of `mailDirectory`. Ignored while one runs.
  void mnuGetMail_Click(const MailSettings& settings, const std::string& mailDirectory);
  void Timer1_Timer();

  // --- the component's events -------------------------------------------------------
  void Mail1_Done();
  void Mail1_AsyncError(int number, const std::string& description);
  void Mail1_Progress(long done, long total);

  // Called after anything shown by the window changed.
  std::function<void()> changed;

  // EventSource: Timer1.
  bool Pump() override;
  bool Active() const override { return Timer1Enabled; }
  void WaitForActivity(std::chrono::milliseconds) override {}

 private:
  // Starts a component operation. In blocking mode its outcome is handled at
  // once: Done, or the failure as an AsyncError.
  void Act(int action);
  void Finish();
  void Changed() {
    if (changed) changed();
  }

  zorvik::Host& host_;
  std::filesystem::path inbox_;
};

// The AsyncError message: "AsyncError: " + description + "(" + number + ")",
// the number with one leading blank when it is not negative.
std::string AsyncErrorText(int number, const std::string& description);

// The progress label: the whole percentage of done / total followed by "%",
// or "0" when total is 0.
std::string PercentageText(long done, long total);

}  // namespace zorvik::mail
