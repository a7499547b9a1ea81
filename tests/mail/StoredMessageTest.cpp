#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "mail/StoredMessage.h"
#include "mail/mMail.h"
#include "support/FakeHost.h"
#include "support/MailPeers.h"

namespace zorvik::mail {
namespace {

using namespace std::string_literals;

TEST(StoredMessageTest, ReadsTheSummaryFromTheHeaderBlock) {
  StoredMessageSummary s;
  ASSERT_TRUE(ReadStoredMessage("Return-Path: <ann@example.org>\r\n"
                                "From: Ann Sender <ann@example.org>\r\n"
                                "Subject: Quarterly\r\n numbers\r\n"
                                "Date: Sun, 6 Dec 2026 16:48:39 +0100\r\n"
                                "\r\n"
                                "Subject: not a header\r\n",
                                s)
                  .ok());
  EXPECT_EQ(s.subject, "Quarterly numbers");
  EXPECT_EQ(s.from, "Ann Sender <ann@example.org>");
  EXPECT_NE(s.date.find("16:48:39 +0100"), std::string::npos) << s.date;
}

TEST(StoredMessageTest, RefusesWhatIsNotAMessage) {
  for (const std::string& bytes :
       {""s, "just some text\r\nover two lines\r\n"s, "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s,
        "X-Only: a header nobody reads\r\n\r\nbody"s, "\r\nSubject: late\r\n"s,
        ": empty name\r\n"s}) {
    StoredMessageSummary s;
    EXPECT_EQ(ReadStoredMessage(bytes, s).number, kErrBadFormat) << bytes;
  }
}

TEST(StoredMessageTest, ComponentReadsStoredFilesAndRefusesBadAttachments) {
  testing::TempDir dir;
  testing::FakeHost host;
  mMail mail(host);
  auto run = [&](int flags, const std::string& name) {
    mail.SetFlags(flags);
    mail.SetMessageFile((dir.path() / name).string());
    return mail.SetAction(flags == 2 ? 13 : 9).number;
  };
  testing::WriteFile(dir.path() / "3.msg",
                     "From: =?UTF-8?B?SsO2cmc=?= <j@example.de>\n"
                     "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?= aus =?UTF-8?B?S8O2bG4=?=\n\nbody\n");
  testing::WriteFile(dir.path() / "junk.msg", "\x7f" "ELF\x02\x01\x01"s);
  ASSERT_EQ(run(2, "3.msg"), 0);
  EXPECT_EQ(mail.Subject(), "Grüße aus Köln");
  EXPECT_EQ(mail.From(), "Jörg <j@example.de>");
  EXPECT_EQ(run(2, "missing.msg"), kErrCannotOpenFile);
  EXPECT_EQ(run(2, "junk.msg"), kErrBadFormat);
  EXPECT_EQ(mail.Subject(), "Grüße aus Köln") << "a failed read changes nothing";

  mail.SetTransferEncoding("base64");
  EXPECT_EQ(run(130, "none.zip"), kErrCannotOpenFile);
  mail.SetTransferEncoding("x-unknown");
  EXPECT_EQ(run(130, "3.msg"), kErrInvalidEntry);
}

// Writes a short message into a FIFO whenever something opens it for reading.
class FifoFeeder {
 public:
  explicit FifoFeeder(const std::string& path) {
    ::mkfifo(path.c_str(), 0600);
    ::signal(SIGPIPE, SIG_IGN);
    thread_ = std::thread([this, path] {
      while (!stop_) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
          (void)!::write(fd, "From: a@b\r\n\r\n", 14);
          ::close(fd);
        }
        ::usleep(1000);
      }
    });
  }
  ~FifoFeeder() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(StoredMessageTest, FilesThatCannotBeReadWholeAreRefused) {
  testing::TempDir dir;
  testing::FakeHost host;
  mMail mail(host);
  std::filesystem::create_directory(dir.path() / "folder");
  FifoFeeder feeder((dir.path() / "pipe").string());
  testing::WriteFile(dir.path() / "gone.msg", "From: a@b\r\n\r\n");
  const std::string gone = (dir.path() / "gone.msg").string();
  {  // 256 MiB and one byte, without taking the disk space
    const int fd = ::open((dir.path() / "huge.zip").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(::ftruncate(fd, (256 << 20) + 1), 0);
    ::close(fd);
  }
  mail.SetTransferEncoding("base64");
  for (const int flags : {130, 2}) {
    for (const char* name : {"pipe", "folder", "gone.msg", "huge.zip"}) {
      if (flags == 2 && name == std::string("huge.zip")) continue;  // only its head is read
      mail.SetFlags(flags);
      mail.SetMessageFile((dir.path() / name).string());
      if (name == std::string("gone.msg")) std::filesystem::remove(gone);
      const MailStatus s = mail.SetAction(flags == 2 ? 13 : 9);
      EXPECT_EQ(s.number, kErrCannotOpenFile) << name << " " << flags;
      if (flags == 130 && name == std::string("huge.zip")) {
        EXPECT_NE(s.description.find("256 MiB"), std::string::npos) << s.description;
      }
      testing::WriteFile(gone, "From: a@b\r\n\r\n");
    }
  }
  EXPECT_EQ(mail.PartBody(), "");
  EXPECT_EQ(mail.From(), "");
}

}  // namespace
}  // namespace zorvik::mail
