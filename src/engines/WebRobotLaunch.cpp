// The search launch: the commands that start a search and the routines that
// carry one from the button press to "Finished..... ".
#include "engines/WebRobot.h"

namespace zorvik {

void WebRobot::mnuPerformSearch_Click() {}
void WebRobot::Command1_Click() {}
void WebRobot::Command2_Click() {}
void WebRobot::mnuFileSearch_Click() {}
void WebRobot::mnuEngineResult_Click() {}
void WebRobot::mnuSearchUrl_Click() {}
void WebRobot::mnuOpenPage_Click() {}
void WebRobot::txtURL_KeyPress(int) {}
void WebRobot::Combo1_Click() {}
std::filesystem::path WebRobot::SearchResultPath() const { return {}; }
std::filesystem::path WebRobot::SearchedReportPath() const { return {}; }

}  // namespace zorvik
