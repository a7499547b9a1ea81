#pragma once
// "Information Retrieval  System": the robot's window. A thin view over the
// robot model (WebRobot): every user action goes to the model's command of
// the same name, and after every command and at every pump of the host the
// widgets are brought up to date with the model's values (the tree by the
// entries added or changed since the last look). The window also keeps the
// bookmark menu, the busy animation and the internal browser.
//
// Closing the window while one of its commands runs (a search yields to the
// event loop from deep inside a click) stops the search, answers any open
// dialog with its close box, and hides the window; it really closes when
// the command has unwound, and only then may the model go.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/QtHost.h"
#include "engines/Bookmarks.h"

class QAction;
class QLabel;
class QLineEdit;
class QComboBox;
class QTreeWidgetItem;

namespace Ui {
class frmWebRobot;
}

namespace zorvik {
class WebRobot;
struct SearchState;
}  // namespace zorvik

namespace zorvik::app {

class BrowserPane;
class frmBrowser1;

class frmWebRobot : public QMainWindow {
  Q_OBJECT
 public:
  // The window's own host (a new QtHost when none is given); the search
  // state is the process's; the program directory holds the bookmark file,
  // the shipped pages and every output file.
  frmWebRobot(SearchState& state, std::filesystem::path programDirectory, std::unique_ptr<QtHost> host = nullptr,
              QWidget* parent = nullptr);
  ~frmWebRobot() override;

  WebRobot& Robot() { return *robot_; }
  QtHost& Host() { return *host_; }
  // True while one of the window's commands runs.
  bool Running() const { return running_ > 0; }
  // The internal browser, once it has been opened.
  frmBrowser1* InternalBrowser() const { return browser_; }
  BrowserPane* Pane() const { return pane_; }
  // Brings every widget up to date with the model at once.
  void SyncNow();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Runs a model command; afterwards the widgets show its outcome, and a
  // close asked for meanwhile happens.
  template <class Command>
  void Run(Command&& command);
  void Sync();
  void SyncTree();
  void SyncList();
  void SyncPane(bool evenIfShown);
  void SyncPanels();

  void WireInputs();
  void WireCommands();
  void FillEngineLists();
  void SetUpPanes();
  // Finds the information and home pages (infoPage_, homePage_).
  void EnsureShippedPages();

  void LoadBookmarks();
  void mnuAddBookmark_Click();
  void mnuEditBmk_Click();
  void mnuInternalBrowser_Click();
  void tmrBusy_Timer();

  std::unique_ptr<QtHost> host_;
  std::unique_ptr<Ui::frmWebRobot> ui_;
  std::unique_ptr<WebRobot> robot_;
  BookmarkFile bookmarks_;
  std::filesystem::path infoPage_;
  std::filesystem::path homePage_;
  BrowserPane* pane_ = nullptr;
  frmBrowser1* browser_ = nullptr;
  QLabel* panels_[4] = {};
  QComboBox* combos_[5] = {};
  std::vector<QAction*> mnuMy1_;  // the bookmark items, the separator first

  QTimer tmrBusy_;
  int busyFrame_ = 0;
  QTimer syncSoon_;

  bool sized_ = false;
  int running_ = 0;
  bool closePending_ = false;

  // What the widgets show, as last taken from the model.
  std::string shownURL_, shownExpression_, shownDepth_, shownCombos_[5], shownLocation_;
  std::string shownOutput_;
  QElapsedTimer outputShownAt_;
  std::size_t shownListCount_ = 0;
  std::string shownListLast_;
  std::vector<QTreeWidgetItem*> treeItems_;  // by the tree view's entry index
  std::vector<std::size_t> changedEntries_;
};

}  // namespace zorvik::app
