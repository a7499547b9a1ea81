#include <gtest/gtest.h>

#include <memory>

#include "MailTestHelpers.h"
#include "mail/BinHex.h"
#include "mail/ComposerTexts.h"
#include "mail/NewMessage.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

namespace fs = std::filesystem;
using testing::ReceivedMail;
constexpr const char* kProduct = "http://www.zorvik.example/";

class NewMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sink_->Clear();
    settings_.SmtpHost = sink_->host();
    settings_.Email = "ann@example.org";
    settings_.NoticeSender = "Ann Sender";
    settings_.NoticeAddress = "1 Main Street";
    settings_.NoticePhone = "555-0100";
    settings_.TimeOut = 10;
    form_ = std::make_unique<NewMessage>(host_, settings_, flags_, kProduct);
    form_->Form_Load();
  }

  fs::path File(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_.path() / name;
    testing::WriteFile(p, bytes);
    return p;
  }
  void Attach(const fs::path& p) {
    host_.dialogAnswers.push_back(p.string());
    form_->Command1_Click();
  }
  // "Send" with this answer to the notice question, until the transfer ends.
  void Send(MsgAnswer notice) {
    host_.msgAnswers.push_back(notice);
    form_->Send_Click();
    test::PumpUntil(host_, [&] { return !form_->Busy(); });
    host_.DoEvents();
  }
  void SendList(const std::string& list, MsgAnswer notice) {
    host_.dialogAnswers.push_back(File("list.txt", list).string());
    host_.msgAnswers.push_back(notice);
    form_->Command2_Click();
  }
  std::string LastMessage() const {
    return host_.messages.empty() ? std::string() : host_.messages.back().text;
  }

  testing::SmtpSink* sink_ = &test::Sink();
  testing::TempDir dir_;
  testing::FakeHost host_;
  MailSettings settings_;
  MailFlags flags_;
  std::unique_ptr<NewMessage> form_;
};

// Every extension row and encoding in one message under the first
// attachment's boundary, as an independent parser reads it.
TEST_F(NewMessageTest, AttachmentsArriveWithTheirHeadersAndBytes) {
  const std::string binary = test::Binary(200'000) + std::string(300, '\0') + "\x90\x90";
  // Large enough to go in pieces, with lines SMTP must dot-stuff (one of them
  // the end-of-data mark).
  std::string text = "Notes\r\n";
  while (text.size() < 600'000) text += ".starts with a dot\r\n..two dots\r\n.\r\nmore\r\n";
  struct Row {
    std::string name;
    bool* option;
    std::string encoding, contentType, disposition;  // "%p": the full path
  };
  const Row rows[] = {
      {"report.bin", &form_->optBase64, "base64", "application/octet-stream",
       "attachment; filename=\"report.bin\""},
      {"photo.JPG", &form_->optQuotedPrintable, "quoted-printable", "image/jpg",
       "inline; filename=\"photo.JPG\""},
      {"archive.zip", &form_->optUU, "x-uuencode", "application/x-zip-compressed; name=\"%p\"",
       "attachment; filename=\"archive.zip\""},
      {"data.backup.zip", &form_->optBinhex40, "mac-binhex40", "application/octet-stream",
       "attachment; filename=\"data.backup.zip\""},
      // A text file goes "7bit" whatever is chosen.
      {"notes.txt", &form_->optBase64, "7bit", "text/plain; charset=us-ascii",
       "inline; filename=\"%p\""},
      {"README", &form_->optBase64, "base64", "application/octet-stream",
       "attachment; filename=\"README\""},
      {"odd \"name\".bin", &form_->optBase64, "base64", "application/octet-stream",
       "attachment; filename=\"odd \\\"name\\\".bin\""},
  };
  std::string boundary;
  for (const Row& row : rows) {
    form_->optBase64 = form_->optUU = form_->optQuotedPrintable = form_->optBinhex40 = false;
    *row.option = true;
    Attach(File(row.name, row.name == "notes.txt" ? text : binary));
    if (boundary.empty()) boundary = form_->Mail1.Boundary();
  }
  EXPECT_EQ(form_->cmbAttachments.size(), std::size(rows));
  EXPECT_EQ(form_->cmbAttachmentsIndex, static_cast<int>(std::size(rows)) - 1);
  EXPECT_TRUE(boundary.ends_with("_boundary") &&
              boundary.find_first_not_of("0123456789") == boundary.size() - 9)
      << boundary;
  form_->txtTo = "bob@example.net";
  form_->txtBody = "Hello Bob\r\n";
  Send(MsgAnswer::No);

  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 1u) << LastMessage();
  EXPECT_NE(got[0].bytes.find("boundary=" + boundary + "\r\n"), std::string::npos)
      << "the boundary of the first attachment holds for the message";
  ASSERT_EQ(got[0].parts.size(), std::size(rows) + 1);
  EXPECT_EQ(got[0].headers[0].contentType, "text/plain; charset=us-ascii");
  EXPECT_EQ(got[0].headers[0].disposition, "");
  EXPECT_EQ(got[0].parts[0].second, "Hello Bob\r\n") << "a body with attachments has no footer";
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    const std::string path = (dir_.path() / row.name).string();
    auto withPath = [&](std::string s) {
      if (const auto at = s.find("%p"); at != std::string::npos) s.replace(at, 2, path);
      return s;
    };
    const auto& [encoding, body] = got[0].parts[i + 1];
    EXPECT_EQ(encoding, row.encoding);
    EXPECT_EQ(got[0].headers[i + 1].contentType, withPath(row.contentType));
    EXPECT_EQ(got[0].headers[i + 1].disposition, withPath(row.disposition));
    const std::string sent = row.name == "notes.txt" ? text : binary;
    EXPECT_TRUE(body == (encoding == "mac-binhex40" ? *BinHexEncode(row.name, sent) : sent));
  }
  EXPECT_EQ(got[0].headers.back().fileName, "odd \"name\".bin");
  EXPECT_TRUE(form_->cmbAttachments.empty());
  EXPECT_NE(form_->Text1.find("EHLO"), std::string::npos) << "the protocol log of a single send";
}

// A file the message cannot take changes nothing and says why.
TEST_F(NewMessageTest, AnUnreadableAttachmentIsRefused) {
  for (const fs::path& p : {dir_.path() / "missing.bin", dir_.path()}) {
    Attach(p);
    EXPECT_EQ(LastMessage(), "Could not open file.") << p;
  }
  EXPECT_TRUE(form_->cmbAttachments.empty());
  EXPECT_EQ(form_->Mail1.PartCount(), 0);
  EXPECT_NE(form_->Mail1.ContentType(), "multipart");
}

// The text of a single send: body, notice and footer.
TEST_F(NewMessageTest, NoticeAndFooterRules) {
  struct Row {
    const char* what;
    bool attach;
    std::string body;
    MsgAnswer notice;
    std::string text;  // what the text part holds
  };
  const std::string hello = "Hello\r\n";
  const Row rows[] = {
      {"plain body", false, hello, MsgAnswer::No, hello + "\r\n" + Footer(false, kProduct)},
      {"notice A", false, hello, MsgAnswer::Yes,
       NoticeA(settings_, hello) + "\r\n" + Footer(true, kProduct)},
      {"No after Yes", false, hello, MsgAnswer::No, hello + "\r\n" + Footer(false, kProduct)},
      {"notice B", false, "", MsgAnswer::Yes, NoticeB(settings_) + "\r\n" + Footer(true, kProduct)},
      // The footer alone, as a part a mail reader shows.
      {"attachment, empty body", true, "", MsgAnswer::No, "\r\n" + Footer(false, kProduct)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    sink_->Clear();
    if (row.attach) Attach(File("a.bin", "bytes"));
    form_->txtTo = "bob@example.net";
    form_->txtBody = row.body;
    Send(row.notice);
    const auto got = sink_->Received();
    ASSERT_EQ(got.size(), 1u) << LastMessage();
    ASSERT_EQ(got[0].parts.size(), row.attach ? 2u : 1u);
    EXPECT_EQ(got[0].headers[0].contentType, "text/plain; charset=us-ascii");
    // A single-part body ends with the line break the message ends with.
    EXPECT_EQ(got[0].parts[0].second, row.text + (row.attach ? "" : "\r\n"));
    EXPECT_EQ(flags_.NoticeAdded, row.notice == MsgAnswer::Yes ? 1 : 0);
  }
  EXPECT_EQ(form_->txtSent, "0") << "only list sends count";
}

// (A recipient given when asked is sent to: the window's tests.)
TEST_F(NewMessageTest, RecipientQuestionAndFailures) {
  form_->showForm3 = [] { return std::string(); };
  form_->txtBody = "x";
  Send(MsgAnswer::No);
  EXPECT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(host_.messages[0].text, "The mail has no Recipient!");
  EXPECT_EQ(host_.messages[1].text, "Unable to send mail without a Recipient!");

  // A header value with a line break could add a header or a recipient.
  using Field = std::string NewMessage::*;
  const std::pair<Field, std::string> fields[] = {{&NewMessage::txtTo, "To:"},
                                                  {&NewMessage::txtSubject, "Subject:"},
                                                  {&NewMessage::txtCC, "CC:"},
                                                  {&NewMessage::txtBCC, "BCC:"}};
  for (const auto& [field, caption] : fields) {
    form_->txtTo = "bob@example.net";
    form_->txtSubject = form_->txtCC = form_->txtBCC = "";
    (*form_).*field = "eve@example.net\r\nBcc: victim@example.com";
    Send(MsgAnswer::No);
    EXPECT_EQ(LastMessage(), "The field \"" + caption +
                                 "\" holds a line break. A mail header cannot hold one, so the "
                                 "mail was not sent.");
  }
  EXPECT_TRUE(sink_->Received().empty());

  // Not blocking: the failure arrives as AsyncError, with its description.
  form_->txtTo = "bob@example.net";
  form_->txtSubject = form_->txtCC = form_->txtBCC = "";
  settings_.SmtpHost = "127.0.0.1:" + std::to_string(testing::FreePort());
  Send(MsgAnswer::No);
  EXPECT_EQ(LastMessage(), MailErrorText(kErrConnectionRefused));
  EXPECT_EQ(form_->SendState, 3);
  EXPECT_FALSE(form_->Busy());
}

// Every line gets the whole message: its attachment and one text part.
TEST_F(NewMessageTest, AListSendsTheSameMessageToEveryLineWithItsNotices) {
  const std::string bytes = test::Binary(50'000);
  Attach(File("a.bin", bytes));
  form_->txtBody = "Hi\r\n";
  form_->txtCC = "copy@example.com";
  SendList("one@example.net\r\ntwo@example.net\r\nthree@example.net\r\n", MsgAnswer::No);
  EXPECT_EQ(form_->txtSent, "3");
  EXPECT_EQ(form_->Text1, "Sending from List. Can't show Status!");
  EXPECT_EQ(flags_.ListSending, 0);
  const auto got = sink_->Received();
  ASSERT_EQ(got.size(), 3u) << LastMessage();
  const char* to[] = {"one@example.net", "two@example.net", "three@example.net"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(got[i].recipients, (std::vector<std::string>{to[i], "copy@example.com"}));
    ASSERT_EQ(got[i].parts.size(), 2u) << i;
    EXPECT_EQ(got[i].parts[0].second, "Hi\r\n");
    EXPECT_TRUE(got[i].parts[1].second == bytes) << i;
  }
  EXPECT_EQ(form_->Mail1.PartCount(), 0) << "the message is cleared after the list";
  EXPECT_TRUE(form_->cmbAttachments.empty());

  sink_->Clear();
  SendList("", MsgAnswer::No);
  EXPECT_TRUE(sink_->Received().empty());
  EXPECT_EQ(form_->txtSent, "3");

  // With an empty body and Yes, the first line gets notice B; every later
  // one notice A over the (empty) body saved at the start.
  form_->txtBody = "";
  SendList("one@example.net\ntwo@example.net\nthree@example.net", MsgAnswer::Yes);
  const auto noticed = sink_->Received();
  ASSERT_EQ(noticed.size(), 3u) << LastMessage();
  const std::string footer = "\r\n" + Footer(true, kProduct) + "\r\n";
  EXPECT_EQ(noticed[0].parts[0].second, NoticeB(settings_) + footer);
  EXPECT_EQ(noticed[1].parts[0].second, NoticeA(settings_, "") + footer);
  EXPECT_EQ(noticed[2].parts[0].second, NoticeA(settings_, "") + footer);
}

// A failed line ends the list and says where to go on.
TEST_F(NewMessageTest, AListStopsAtTheFailedLine) {
  const std::string refusedPort = "127.0.0.1:" + std::to_string(testing::FreePort());
  const std::string forged = "two@example.net\rRCPT TO:<victim@example.com>";
  struct Row {
    std::string host;  // empty: the sink
    std::string list, why, line;
    std::size_t sent;
  };
  const Row rows[] = {
      {refusedPort, "one@example.net\ntwo@example.net\n",
       std::string(MailErrorText(kErrConnectionRefused)), "1 (one@example.net)", 0},
      {"", "one@example.net\nrefused@example.net\nthree@example.net\n",
       std::string(MailErrorText(kErrUnexpectedResponse)), "2 (refused@example.net)", 1},
      {"", "one@example.net\n" + forged + "\nthree@example.net\n",
       "The line holds a line break, which a mail header cannot hold.", "2 (" + forged + ")", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list);
    sink_->Clear();
    settings_.SmtpHost = row.host.empty() ? sink_->host() : row.host;
    form_->txtSent = "0";
    form_->txtBody = "Hi";
    SendList(row.list, MsgAnswer::No);
    const std::string sent = std::to_string(row.sent);
    EXPECT_EQ(LastMessage(), row.why + "\r\n\r\nSending from the list stopped at line " + row.line +
                                 ". Messages sent from the list: " + sent +
                                 ". The next line to send is line " + std::to_string(row.sent + 1) +
                                 ".");
    EXPECT_EQ(sink_->Received().size(), row.sent);
    EXPECT_EQ(form_->txtSent, sent);
    EXPECT_EQ(flags_.ListSending, 0);
    EXPECT_FALSE(form_->Busy());
  }
}

TEST_F(NewMessageTest, ListFileMenus) {
  const std::string list = File("list.txt", "a@x.org\r\nb@y.org\n").string();
  host_.dialogAnswers = {list, list, list};
  form_->mnuOpenBCC_Click();
  form_->mnuOpenMailFile_Click();
  form_->mnuInsert_Click();
  EXPECT_EQ(form_->Text1, "a@x.org\r\nb@y.org\r\nAddresses in the list: 2");
  EXPECT_EQ(form_->txtBody, "a@x.org\r\nb@y.org\r\n");
  EXPECT_EQ(host_.dialogs.size(), 3u);
  form_->mnuInsert_Click();  // cancelled: nothing changes
  EXPECT_EQ(form_->txtBody, "a@x.org\r\nb@y.org\r\n");
}

}  // namespace
}  // namespace zorvik::mail
