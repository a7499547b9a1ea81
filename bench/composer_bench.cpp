// A list send of the composer: one message with a 1 MiB attachment (base64)
// to each of 1,000 recipients of a list file, sent to a local aiosmtpd that
// keeps nothing, against a plain libcurl loop that sends the same message,
// prepared once, 1,000 times.
//
// BM_ComposerListSend: "Send from File" of the NewMessage model.
// BM_PlainCurlLoop/reuse: one libcurl easy handle, curl_easy_perform per
// message; reuse 1 lets libcurl keep the connection between messages, 0
// opens a new one for each (as the composer does: connect, send, close).
// BM_EncodeAttachment: what encoding the attachment once costs. The
// component encodes while it sends, so a list send pays it per recipient:
// the price of never holding an encoded copy (up to 1.37 times the largest
// attachment) for the length of a list. The composer's processor time per
// message against the plain loop's shows what that price is.
//
// Counters: ms_per_message; peak_MB, the most memory held through operator
// new during the sends (the message held to send it included); message_MB,
// the size of one message; peak_per_message, their ratio.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <fstream>
#include <string>

#include "mail/BodyEncoder.h"
#include "mail/NewMessage.h"
#include "support/AllocationCounter.h"
#include "support/BenchHost.h"
#include "support/MailPeers.h"

namespace {

using zorvik::bench::AllocationCounter;
namespace mail = zorvik::mail;

constexpr std::size_t kAttachmentBytes = std::size_t{1} << 20;
constexpr int kRecipients = 1000;

std::string Noise(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint64_t x = 0x9E3779B97F4A7C15ULL;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x);
  }
  return bytes;
}

// Answers the file dialogs from a queue and every question with No.
class ScriptedHost : public zorvik::bench::BenchHost {
 public:
  std::deque<std::string> files;
  std::string lastMessage;
  zorvik::MsgAnswer MsgBox(std::string_view text, zorvik::MsgButtons buttons, zorvik::MsgIcon,
                           std::string_view) override {
    lastMessage.assign(text);
    return buttons == zorvik::MsgButtons::YesNo ? zorvik::MsgAnswer::No : zorvik::MsgAnswer::Ok;
  }
  std::optional<std::string> OpenFileDialog(const zorvik::FileDialogSpec&) override {
    if (files.empty()) return std::nullopt;
    std::string f = files.front();
    files.pop_front();
    return f;
  }
};

struct Fixture {
  zorvik::testing::SmtpDiscard peer;
  zorvik::testing::TempDir dir;
  std::filesystem::path attachment = dir.path() / "attachment.bin";
  std::filesystem::path list = dir.path() / "list.txt";
  zorvik::MailSettings settings;

  Fixture() {
    std::ofstream(attachment, std::ios::binary) << Noise(kAttachmentBytes);
    std::ofstream out(list, std::ios::binary);
    for (int i = 0; i < kRecipients; ++i) out << "reader" << i << "@example.net\r\n";
    settings.SmtpHost = peer.host();
    settings.Email = "ann@example.org";
    settings.TimeOut = 60;
  }
};

// A composer holding the message: the attachment and a short body.
std::unique_ptr<mail::NewMessage> Composer(Fixture& f, ScriptedHost& host, mail::MailFlags& flags) {
  auto form = std::make_unique<mail::NewMessage>(host, f.settings, flags, "http://www.zorvik.example/");
  form->Form_Load();
  form->txtSubject = "News";
  form->txtBody = "Dear reader,\r\nthe report is attached.\r\n";
  host.files.push_back(f.attachment.string());
  form->Command1_Click();
  return form;
}

void BM_ComposerListSend(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    ScriptedHost host;
    mail::MailFlags flags;
    auto form = Composer(f, host, flags);
    host.files.push_back(f.list.string());
    std::string message;
    form->Mail1.ComposeMessage(message);
    const double messageMB = static_cast<double>(message.size()) / (1024.0 * 1024.0);
    message = std::string();
    AllocationCounter::ResetPeak();
    const auto start = std::chrono::steady_clock::now();
    form->Command2_Click();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (form->txtSent != std::to_string(kRecipients)) {
      state.SkipWithError(("list send stopped: " + host.lastMessage).c_str());
      break;
    }
    state.counters["ms_per_message"] = seconds * 1e3 / kRecipients;
    state.counters["peak_MB"] = AllocationCounter::PeakMegabytes();
    state.counters["message_MB"] = messageMB;
    state.counters["peak_per_message"] = AllocationCounter::PeakMegabytes() / messageMB;
  }
}
BENCHMARK(BM_ComposerListSend)->Iterations(1)->Unit(benchmark::kSecond);

struct Upload {
  const std::string* bytes;
  std::size_t at = 0;
};

std::size_t ReadUpload(char* out, std::size_t size, std::size_t count, void* user) {
  auto* u = static_cast<Upload*>(user);
  const std::size_t n = std::min(size * count, u->bytes->size() - u->at);
  std::copy_n(u->bytes->data() + u->at, n, out);
  u->at += n;
  return n;
}

void BM_PlainCurlLoop(benchmark::State& state) {
  Fixture f;
  std::string message;
  {
    ScriptedHost host;
    mail::MailFlags flags;
    auto form = Composer(f, host, flags);
    form->txtTo = "reader@example.net";
    form->Mail1.SetTo(form->txtTo);
    form->Mail1.SetFrom(f.settings.Email);
    // The text part as the composer fills it.
    form->Mail1.SetPartIndex(1);
    form->Mail1.SetPartBody(form->txtBody);
    form->Mail1.SetPartIndex(0);
    form->Mail1.ComposeMessage(message);
  }
  const bool reuse = state.range(0) != 0;
  for (auto _ : state) {
    CURL* curl = curl_easy_init();
    const std::string url = "smtp://" + f.peer.host() + "/zorvik";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, "<ann@example.org>");
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, reuse ? 0L : 1L);
    AllocationCounter::ResetPeak();
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    for (int i = 0; i < kRecipients && ok; ++i) {
      const std::string to = "<reader" + std::to_string(i) + "@example.net>";
      curl_slist* rcpt = curl_slist_append(nullptr, to.c_str());
      Upload upload{&message};
      curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
      curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
      ok = curl_easy_perform(curl) == CURLE_OK;
      curl_slist_free_all(rcpt);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = AllocationCounter::PeakMegabytes();
    curl_easy_cleanup(curl);
    if (!ok) {
      state.SkipWithError("curl_easy_perform failed");
      break;
    }
    state.counters["ms_per_message"] = seconds * 1e3 / kRecipients;
    const double messageMB = static_cast<double>(message.size()) / (1024.0 * 1024.0);
    state.counters["peak_MB"] = peak;
    state.counters["message_MB"] = messageMB;
    state.counters["peak_per_message"] = peak / messageMB;
  }
}
BENCHMARK(BM_PlainCurlLoop)->ArgName("reuse")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

void BM_EncodeAttachment(benchmark::State& state) {
  const std::string bytes = Noise(kAttachmentBytes);
  for (auto _ : state) {
    auto encoded = mail::EncodeBody(mail::TransferCoding::Base64, bytes, false, "attachment.bin");
    benchmark::DoNotOptimize(encoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_EncodeAttachment)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
