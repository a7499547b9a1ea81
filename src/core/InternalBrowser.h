#pragma once
// The internal browser window without its widgets: the address box and its
// list of visited addresses (newest first, each once), the caption, the
// choice of the first page, and what the window does when its browser pane
// reports progress.

#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

class InternalBrowser {
 public:
  // The information page (the address box's text when the window is made)
  // and the home page.
  InternalBrowser(std::string infoAddress, std::string homeAddress);

  // Set by a caller before the window opens; opened first when not empty.
  std::string StartingAddress;

  // The address box: its text and its list.
  std::string cboAddress;
  const std::vector<std::string>& AddressList() const { return list_; }
  std::string Caption;

  const std::string& HomeAddress() const { return home_; }

  // The page the window opens with: StartingAddress (which also goes into
  // the address box and its list), else the searched report when a report
  // has been written in this run, else the address box's text.
  std::string FirstAddress(bool reportReady, std::string_view searchedReport);
  // The pane committed to an address: the caption becomes the location's
  // name and the address moves to the top of the list.
  void NavigateComplete(std::string_view locationName, std::string_view locationAddress);
  // The page has loaded: caption and address box show the location.
  void DownloadComplete(std::string_view locationName, std::string_view locationAddress);
  // The activity timer: "Working..." while the pane is busy; once it is
  // not, the location's name. False when the timer should stop.
  bool TimerTick(bool paneBusy, std::string_view locationName);

 private:
  void PutOnTop(std::string_view address);

  std::string home_;
  std::vector<std::string> list_;
};

}  // namespace zorvik
