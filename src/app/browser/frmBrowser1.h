#pragma once
// The internal browser: a toolbar, the address box with the addresses
// visited (newest first), a browser pane and two buttons: "Close window"
// hides it, "Use in Dorvane's Spider" hands the address to the robot window
// and hides it. One instance lives as long as the robot window; it is
// hidden, not closed, by its buttons.

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "core/InternalBrowser.h"

namespace Ui {
class frmBrowser1;
}

namespace zorvik::app {

class BrowserPane;

class frmBrowser1 : public QWidget {
  Q_OBJECT
 public:
  frmBrowser1(std::string infoAddress, std::string homeAddress, QWidget* parent = nullptr);
  ~frmBrowser1() override;

  // The first showing: opens StartingAddress, the searched report when
  // `reportReady`, or the information page.
  void Open(bool reportReady, const std::string& searchedReport);

  InternalBrowser& Model() { return model_; }
  BrowserPane* Pane() const { return pane_; }

 signals:
  // "Use in Dorvane's Spider" with the address box's text.
  void UseInSpider(const std::string& address);

 private:
  void Navigate(const std::string& address);
  void cboAddress_Click();
  void tbToolBar_ButtonClick(const QString& key);
  void timTimer_Timer();
  void ShowModel();

  std::unique_ptr<Ui::frmBrowser1> ui_;
  InternalBrowser model_;
  BrowserPane* pane_ = nullptr;
  QTimer timTimer_;
};

}  // namespace zorvik::app
