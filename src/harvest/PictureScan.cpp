#include "harvest/PictureScan.h"

#include <array>

#include "core/Host.h"
#include "core/WriteFailures.h"
#include "core/RobotForm.h"
#include "core/Text.h"
#include "crawler/AddressHelpers.h"
#include "crawler/Inet.h"
#include "crawler/InetStates.h"
#include "harvest/AddressHarvester.h"
#include "harvest/SavedFiles.h"

namespace zorvik::harvest {

namespace {

constexpr std::array<std::string_view, 4> kExtensions = {"jpg", "JPG", "gif", "GIF"};

// Runs the scan: `onPicture` gets each picture address as found, `onYield`
// runs where the scan yields to the event loop.
template <typename OnPicture, typename OnYield>
void Scan(std::string_view page, OnPicture onPicture, OnYield onYield) {
  std::size_t start = 1;
  std::string_view found;
  while (true) {
    for (const std::string_view ext : kExtensions) {
      if (text::InStr(start, page, ext) > 0) {
        found = ext;
        break;
      }
    }
    onYield();
    if (found.empty()) return;
    const std::size_t pos = text::InStr(start, page, found);
    if (pos == 0) return;
    // Back from the extension's last character to the nearest quote or "=".
    const std::size_t last = pos + 2;  // 1-based
    std::size_t from = pos;
    while (from > 1 && page[from - 2] != '"' && page[from - 2] != '=') --from;
    // No quote or "=" before it: the scan of this page ends.
    if (from == 1) return;
    const std::string_view address = page.substr(from - 1, last - from + 1);
    if (!address.empty()) onPicture(address);
    onYield();
    start = pos + 3;
  }
}

}  // namespace

std::vector<std::string> PictureAddresses(std::string_view page, std::string_view base,
                                          const std::function<void()>& onStep) {
  std::vector<std::string> addresses;
  Scan(
      page,
      [&](std::string_view a) {
        addresses.push_back(a.find("http://") != std::string_view::npos ? std::string(a)
                                                                       : std::string(base) + std::string(a));
      },
      [&] {
        if (onStep) onStep();
      });
  return addresses;
}

PictureScan::PictureScan(Host& host, RobotForm& form, Inet& inet2,
                         std::function<std::filesystem::path()> saveFolder, WriteFailures* failures)
    : host_(host), form_(form), inet2_(inet2), saveFolder_(std::move(saveFolder)), failures_(failures) {}

void PictureScan::ScanPictures(std::string_view pageText) {
  host_.SetMousePointer(MousePointer::Hourglass);
  // Relative pictures are requested under the address the page was opened
  // with, even when a download has meanwhile rewritten the address box.
  const std::string base = form_.txtURL;
  const std::string page(pageText);  // the caller's text may change inside a yield
  Scan(
      page,
      [&](std::string_view a) {
        Request(a.find("http://") != std::string_view::npos ? std::string(a) : base + std::string(a));
        ++form_.FoundCount;
        host_.ShowStatus(3, "# Pages Found: " + std::to_string(form_.FoundCount));
        host_.ShowStatus(4, "Found at: " + TimeOfDayText(host_.Now()));
      },
      [&] { host_.DoEvents(); });
  host_.SetMousePointer(MousePointer::Default);
}

void PictureScan::Request(std::string address) {
  queue_.push_back(std::move(address));
  if (!inet2_.StillExecuting()) StartNext();
}

void PictureScan::StartNext() {
  while (!queue_.empty() && !inet2_.StillExecuting()) {
    current_ = std::move(queue_.front());
    queue_.pop_front();
    if (inet2_.Execute(current_)) return;
  }
}

void PictureScan::Inet2_StateChanged(std::int16_t state) {
  switch (state) {
    case 7:
    case 8:
      host_.ShowStatus(1, "Downloading.....");
      break;
    case 12: {
      host_.ShowStatus(1, "Download Finished");
      std::string bytes;
      for (std::string piece = inet2_.GetChunk(4096, Inet::kBytes); !piece.empty();
           piece = inet2_.GetChunk(4096, Inet::kBytes)) {
        bytes += piece;
      }
      // An error page is no picture: only a successful answer is stored.
      const int status = inet2_.StatusCode();
      if (status >= 200 && status < 300) {
        const std::filesystem::path folder = saveFolder_();
        const std::string name = HandyStuff::FileNamePart(current_);
        std::error_code error;
        const std::filesystem::path saved = SaveIntoFolder(folder, name, bytes, &error);
        if (!saved.empty()) {
          stored_.push_back(saved);
        } else if (failures_ != nullptr) {
          failures_->Report(folder / SafeFileName(name), error);
        }
      }
      break;
    }
    case 0:
    case 11:
      break;
    default:
      if (state > 0 && state < 11) host_.ShowStatus(1, InetStateText(state));
      if (state == 4) form_.txtURL = WithoutPort80(inet2_.URL());
      break;
  }
  // A download that ended by itself frees the transfer for the next one; a
  // cancelled one ends the queue with it.
  if (state == 11 && inet2_.ResponseInfo() == Inet::kCancelledInfo) {
    queue_.clear();
  } else if (state == 11 || state == 12) {
    StartNext();
  }
}

}  // namespace zorvik::harvest
