#include "core/InternalBrowser.h"

#include <algorithm>

namespace zorvik {

InternalBrowser::InternalBrowser(std::string infoAddress, std::string homeAddress)
    : cboAddress(std::move(infoAddress)), home_(std::move(homeAddress)) {}

std::string InternalBrowser::FirstAddress(bool reportReady, std::string_view searchedReport) {
  if (!StartingAddress.empty()) {
    cboAddress = StartingAddress;
    PutOnTop(StartingAddress);
    return StartingAddress;
  }
  if (reportReady) return std::string(searchedReport);
  return cboAddress;
}

void InternalBrowser::PutOnTop(std::string_view address) {
  const auto equal = std::find(list_.begin(), list_.end(), address);
  if (equal != list_.end()) list_.erase(equal);
  list_.insert(list_.begin(), std::string(address));
  cboAddress = address;
}

void InternalBrowser::NavigateComplete(std::string_view locationName, std::string_view locationAddress) {
  Caption = locationName;
  PutOnTop(locationAddress);
}

void InternalBrowser::DownloadComplete(std::string_view locationName, std::string_view locationAddress) {
  Caption = locationName;
  cboAddress = locationAddress;
}

bool InternalBrowser::TimerTick(bool paneBusy, std::string_view locationName) {
  if (paneBusy) {
    Caption = "Working...";
    return true;
  }
  Caption = locationName;
  return false;
}

}  // namespace zorvik
