#pragma once
// The update window without its window: fetches the version file (see
// VersionFile.h) through the main window's transfer component, compares the
// release it names with this program's version and build, and when it is
// newer offers to download the archive into the program directory. The
// archive is written to a temporary file and kept only when it arrived
// whole and matches the size and SHA-256 the version file gives.
// Offline, or with a malformed version file, the window says so and nothing
// else happens.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "shell/Sha256.h"
#include "shell/VersionFile.h"

namespace zorvik {

class Inet;
namespace harvest {
class AtomicFile;
}

class UpdateCheck {
 public:
  static constexpr const char* kCaption = "Update";

  // `inet` must outlive the object; while the object lives it takes the
  // component's StateChanged. Archives are saved in `saveDir`.
  UpdateCheck(Inet& inet, std::string versionFileUrl, std::filesystem::path saveDir,
              ReleaseVersion own);
  ~UpdateCheck();  // cancels a running transfer; a partial archive is removed
  UpdateCheck(const UpdateCheck&) = delete;
  UpdateCheck& operator=(const UpdateCheck&) = delete;

  // What the window shows.
  std::string lblStatus;
  bool cmdCheckEnabled = true;
  bool cmdDownloadEnabled = false;
  // The archive kept by the last download, or empty.
  std::filesystem::path savedArchive;

  // Opening the window starts a check.
  void Form_Load() { cmdCheck_Click(); }
  void cmdCheck_Click();
  void cmdDownload_Click();
  void Inet1_StateChanged(std::int16_t state);

  // The release the last check found, when the version file was readable.
  const std::optional<VersionFile>& Offered() const { return offered_; }

  // Called after anything shown changed.
  std::function<void()> changed;

 private:
  enum class Step { Idle, Checking, Downloading };
  void CheckEnded(std::int16_t state);
  void ReceiveArchive();
  void DownloadEnded(std::int16_t state);
  void Stop(std::string status);
  void Changed() {
    if (changed) changed();
  }

  Inet& inet_;
  std::string versionFileUrl_;
  std::filesystem::path saveDir_;
  ReleaseVersion own_;
  Step step_ = Step::Idle;
  std::string versionText_;
  std::optional<VersionFile> offered_;
  std::unique_ptr<harvest::AtomicFile> file_;
  Sha256 hash_;
  std::uint64_t received_ = 0;
};

// This program's release: its version and build.
ReleaseVersion OwnRelease();
// "0.1.0 (build 1)"
std::string ReleaseText(const ReleaseVersion& release);

}  // namespace zorvik
