#pragma once
// Saving the pictures of a page opened from disk: the page text is scanned
// for "jpg", "JPG", "gif" and "GIF" (all of the first kind in page order,
// then the next kind from after the last picture taken, and so on), each
// picture address is taken back to the nearest double quote or "=", and the
// picture is requested from the download transfer. Requests made while a
// download runs wait their turn; each finished download is stored in the
// collection folder. A Cancel of the download transfer empties the queue.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

class Host;
class Inet;
class WriteFailures;
struct RobotForm;

namespace harvest {

// The picture addresses a scan of `page` requests, in order, each as it is
// requested: absolute when it holds "http://", else `base` + the address.
// `onStep` runs at every yield point of the scan (tests use it to count).
std::vector<std::string> PictureAddresses(std::string_view page, std::string_view base,
                                          const std::function<void()>& onStep = {});

class PictureScan {
 public:
  // `saveFolder` gives the folder a finished download is stored in; a
  // picture that cannot be stored is told to `failures` when given.
  PictureScan(Host& host, RobotForm& form, Inet& inet2, std::function<std::filesystem::path()> saveFolder,
              WriteFailures* failures = nullptr);

  // Scans `pageText` and requests every picture found; each request counts
  // as a find in the status bar ("# Pages Found: ").
  void ScanPictures(std::string_view pageText);

  // The download transfer's state changes: progress texts, the address box
  // at state 4, storing the picture at state 12, then the next request.
  void Inet2_StateChanged(std::int16_t state);

  std::size_t Waiting() const { return queue_.size(); }
  const std::vector<std::filesystem::path>& Stored() const { return stored_; }

 private:
  void Request(std::string address);
  void StartNext();

  Host& host_;
  RobotForm& form_;
  Inet& inet2_;
  std::function<std::filesystem::path()> saveFolder_;
  WriteFailures* failures_;
  std::deque<std::string> queue_;
  std::string current_;
  std::vector<std::filesystem::path> stored_;
};

}  // namespace harvest
}  // namespace zorvik
