#pragma once
// The mail composer, "New Message", without its window: the values of its
// controls, its commands and its own mail component, Mail1.
//
// "Send" sends one message to the recipients of the header fields; "Send
// from File" sends the same message once to every line of a text file.
// Before a send the user may put the bulk-mail notice at the top of the body;
// every message text ends with the footer. Each "&Attachments:" click adds
// one file to the message as a MIME part (see AttachmentHeaders.h).
//
// The message a recipient gets:
//  - without attachments: one text part, the body followed by a line break
//    and the footer;
//  - with attachments: a multipart/mixed message whose first part is the
//    text, then the files in the order attached. The text part is the body
//    alone, or, when the body is empty, the footer alone (with its legal
//    lines when the notice was added). The text always travels as a part of
//    its own, never as the preamble that mail readers do not show.
//
// A single send runs in the component's non-blocking mode: each step ends
// with a Done (or AsyncError) event from the event loop, so the window stays
// usable. A list send runs in blocking mode: every step finishes before the
// next starts, and the event loop runs only inside the component's waits.
// Every line of a list gets the whole message: the composed parts stay as
// they are for the whole list and only the text part is replaced for each
// line. After a successful send (a single one, or the whole list) the
// component starts a new, empty message and the attachment list empties.
//
// A failed step ends the command with the component's description of the
// failure in a message box. In a list send it also ends the list, and the
// message says at which line the list stopped and how many of its messages
// went out, so that the user can go on from the next line without sending
// anything twice. Header fields with a line break (which would add a header
// or a recipient) are refused with a message naming the field.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Host.h"
#include "mail/MailFlags.h"
#include "mail/mMail.h"
#include "settings/MailSettings.h"

namespace zorvik::mail {

class NewMessage {
 public:
  // `settings` supply the sender, the SMTP host and the notice lines at
  // send time; `productPage` ends the footer. Host, settings and flags must
  // outlive the composer.
  NewMessage(zorvik::Host& host, const MailSettings& settings, MailFlags& flags,
             std::string productPage);
  ~NewMessage();
  NewMessage(const NewMessage&) = delete;
  NewMessage& operator=(const NewMessage&) = delete;

  // --- controls -------------------------------------------------------------------
  std::string txtTo, txtSubject, txtCC, txtBCC;
  std::string txtBody;  // CRLF line ends
  std::vector<std::string> cmbAttachments;  // full paths, in the order attached
  int cmbAttachmentsIndex = -1;             // the selected entry
  // "Attachment Encoding": the window keeps exactly one selected.
  bool optBinhex40 = false, optUU = false, optQuotedPrintable = false, optBase64 = true;
  std::string Text1;         // "Mail:", the protocol log
  std::string txtSent = "0"; // "Files sent:"
  // 2 connecting, 1 sending, 3 closing or failed; 0 before the first send.
  std::int16_t SendState = 0;

  mMail Mail1;

  // Shows Form3 ("No Recipient......") modally and gives what its "Recipient:"
  // field holds when "&OK" closes it, or "" when it is closed otherwise.
  std::function<std::string()> showForm3;
  // Called after anything shown by the window changed.
  std::function<void()> changed;

  // --- state the window reads ---------------------------------------------------------
  // A send (single or list) or an attachment is under way: "Send", "Send
  // from File" and "&Attachments:" do nothing meanwhile.
  bool Busy() const;
  // A list send is running: every line gets the message as it stood when
  // the list started, so the fields and the menus that change it wait.
  bool ListRunning() const { return listRunning_; }
  // A command or event handler of the composer is running (further down the
  // stack): the window must not be destroyed before it has returned.
  bool InCommand() const { return depth_ > 0; }
  // The window is closing: a list send stops before its next line.
  void RequestClose() { closeRequested_ = true; }

  // --- commands -------------------------------------------------------------------------
  // Opening: the component's sender is the user's address.
  void Form_Load();
  // "&Attachments:": adds one file chosen in a dialog.
  void Command1_Click();
  // "Send": one message to txtTo (and txtCC, txtBCC).
  void Send_Click();
  // "Send from File": the message once to every line of a list file.
  void Command2_Click();
  // "&Insert text to Send": the body becomes the lines of a file.
  void mnuInsert_Click();
  // "&Open mail file": shows a list file's lines and their count in Text1.
  void mnuOpenMailFile_Click();
  // "Open mailfile for &BCC": txtBCC becomes a file's lines joined by ", ".
  void mnuOpenBCC_Click();

  // --- the component's events -------------------------------------------------------------
  void Mail1_Done();
  void Mail1_AsyncError(int number, const std::string& description);
  void Mail1_TraceText(const std::string& text);

 private:
  struct Depth;

  // The caption of a header field holding a line break, or "".
  std::string FieldWithLineBreak(bool withTo) const;
  void HeaderSetup();
  void TextPart();
  // Starts the transfer; in blocking mode runs it to its end.
  MailStatus TransferStart();
  // One turn of the Done handler; in blocking mode the rest of the transfer.
  MailStatus DoneStep();
  // The server took the message.
  void MessageSent();
  // Ends a single send that failed with `s`.
  void EndSend(const MailStatus& s);
  // Ends a list send that failed at `line` with `s`.
  void EndList(const MailStatus& s, std::size_t line, const std::string& address);
  // Runs the file dialog and reads the chosen file's lines; false when the
  // dialog was cancelled or the file could not be read (which is reported).
  bool ChooseLines(const std::string& title, std::vector<std::string>& lines);
  // A new, empty message: the component's and the attachment list.
  void StartNewMessage();
  void Message(const std::string& text);
  void Changed() {
    if (changed) changed();
  }

  zorvik::Host& host_;
  const MailSettings& settings_;
  MailFlags& flags_;
  std::string productPage_;
  int depth_ = 0;
  bool closeRequested_ = false;
  bool listRunning_ = false;
  bool attaching_ = false;
  long listSent_ = 0;  // messages of the running list the server took
};

// The number a text box holds as a whole number, as far as it reads as one
// (leading blanks skipped, an optional sign, digits); 0 when it holds none.
long TextValue(const std::string& text);

}  // namespace zorvik::mail
