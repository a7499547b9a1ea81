#include "shell/UpdateCheck.h"

#include "core/Version.h"
#include "crawler/Inet.h"
#include "harvest/AtomicFile.h"

namespace zorvik {

namespace {

constexpr std::size_t kPiece = 64 * 1024;

// States of the transfer component (crawler/Inet.h).
constexpr std::int16_t kInetStateReceivingResponse = 7;
constexpr std::int16_t kInetStateResponseReceived = 8;
constexpr std::int16_t kInetStateError = 11;
constexpr std::int16_t kInetStateResponseCompleted = 12;

std::string Size(std::uint64_t bytes) { return std::to_string(bytes) + " bytes"; }

}  // namespace

ReleaseVersion OwnRelease() {
  auto own = ParseReleaseVersion(kVersion, kBuild);
  return own ? *own : ReleaseVersion{};
}

std::string ReleaseText(const ReleaseVersion& release) {
  return release.text + " (build " + std::to_string(release.build) + ")";
}

UpdateCheck::UpdateCheck(Inet& inet, std::string versionFileUrl, std::filesystem::path saveDir,
                         ReleaseVersion own)
    : inet_(inet),
      versionFileUrl_(std::move(versionFileUrl)),
      saveDir_(std::move(saveDir)),
      own_(std::move(own)) {
  inet_.StateChanged = [this](std::int16_t state) { Inet1_StateChanged(state); };
}

UpdateCheck::~UpdateCheck() {
  step_ = Step::Idle;
  inet_.Cancel();
  inet_.StateChanged = nullptr;
}

void UpdateCheck::Stop(std::string status) {
  step_ = Step::Idle;
  file_.reset();
  lblStatus = std::move(status);
  cmdCheckEnabled = true;
  Changed();
}

void UpdateCheck::cmdCheck_Click() {
  if (step_ != Step::Idle) return;
  offered_.reset();
  versionText_.clear();
  cmdCheckEnabled = false;
  cmdDownloadEnabled = false;
  lblStatus = "This is Zorvik " + ReleaseText(own_) + ". Looking for a newer version...";
  step_ = Step::Checking;
  Changed();
  if (!inet_.Execute(versionFileUrl_)) Stop("The transfer component is busy. Please try again.");
}

void UpdateCheck::cmdDownload_Click() {
  if (step_ != Step::Idle || !offered_ || !cmdDownloadEnabled) return;
  std::error_code ec;
  std::filesystem::create_directories(saveDir_, ec);
  file_ = std::make_unique<harvest::AtomicFile>(saveDir_ / offered_->archiveName);
  if (!file_->ok()) {
    Stop("The archive cannot be saved in \"" + saveDir_.string() + "\".");
    return;
  }
  hash_.Reset();
  received_ = 0;
  cmdCheckEnabled = false;
  cmdDownloadEnabled = false;
  savedArchive.clear();
  lblStatus = "Downloading " + offered_->archiveName + "...";
  step_ = Step::Downloading;
  Changed();
  if (!inet_.Execute(offered_->archiveUrl)) Stop("The transfer component is busy. Please try again.");
}

void UpdateCheck::Inet1_StateChanged(std::int16_t state) {
  switch (step_) {
    case Step::Checking:
      if (state == kInetStateResponseCompleted || state == kInetStateError) CheckEnded(state);
      break;
    case Step::Downloading:
      if (state == kInetStateReceivingResponse || state == kInetStateResponseReceived) {
        ReceiveArchive();
      } else if (state == kInetStateResponseCompleted || state == kInetStateError) {
        DownloadEnded(state);
      }
      break;
    case Step::Idle:
      break;
  }
}

void UpdateCheck::CheckEnded(std::int16_t state) {
  if (state == kInetStateError) {
    Stop("The update server could not be reached (" + ShownValue(inet_.ResponseInfo()) + ").");
    return;
  }
  if (inet_.StatusCode() != 200) {
    Stop("The update server has no version file (" + ShownValue(inet_.ResponseInfo()) + ").");
    return;
  }
  for (std::string piece; !(piece = inet_.GetChunk(kPiece, Inet::kBytes)).empty();) {
    if (versionText_.size() <= kMaxVersionFileBytes) versionText_ += piece;
  }
  std::string error;
  offered_ = ParseVersionFile(versionText_, versionFileUrl_, error);
  if (!offered_) {
    Stop("The version file cannot be read: " + error + ".");
    return;
  }
  if (offered_->release.Compare(own_) <= 0) {
    Stop("This is Zorvik " + ReleaseText(own_) + ", the newest version.");
    return;
  }
  Stop("Zorvik " + ReleaseText(offered_->release) + " is available (this is " +
       ReleaseText(own_) + "). Click \"Download\" to save " + offered_->archiveName +
       " in the program directory.");
  cmdDownloadEnabled = true;
  Changed();
}

void UpdateCheck::ReceiveArchive() {
  for (std::string piece; !(piece = inet_.GetChunk(kPiece, Inet::kBytes)).empty();) {
    received_ += piece.size();
    if (offered_->size && received_ > *offered_->size) {
      step_ = Step::Idle;  // the cancel's own event is not this download's end
      inet_.Cancel();
      Stop("The download was not kept: it is larger than the " + Size(*offered_->size) +
           " the version file gives.");
      return;
    }
    hash_.Add(piece);
    file_->Write(piece);
  }
}

void UpdateCheck::DownloadEnded(std::int16_t state) {
  if (state == kInetStateError) {
    Stop("The download failed (" + ShownValue(inet_.ResponseInfo()) + ").");
    return;
  }
  if (inet_.StatusCode() != 200) {
    Stop("The download failed (" + ShownValue(inet_.ResponseInfo()) + ").");
    return;
  }
  ReceiveArchive();
  if (step_ != Step::Downloading) return;
  if (offered_->size && received_ != *offered_->size) {
    Stop("The download was not kept: it has " + Size(received_) + ", the version file gives " +
         Size(*offered_->size) + ".");
    return;
  }
  if (!offered_->sha256.empty() && hash_.HexDigest() != offered_->sha256) {
    Stop("The download was not kept: its SHA-256 differs from the one the version file gives.");
    return;
  }
  const std::filesystem::path target = saveDir_ / offered_->archiveName;
  if (!file_->Commit()) {
    Stop("The archive cannot be saved as \"" + target.string() + "\".");
    return;
  }
  savedArchive = target;
  Stop("Saved as \"" + target.string() + "\".");
}

}  // namespace zorvik
