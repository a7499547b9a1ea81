#include "app/robot/frmWebRobot.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Icons.h"
#include "app/browser/BrowserPane.h"
#include "app/browser/frmBrowser1.h"
#include "app/robot/frmEditBookmarks.h"
#include "app/shell/WindowPlacement.h"
#include "core/ProgramDirectory.h"
#include "core/RobotForm.h"
#include "core/SearchState.h"
#include "engines/EngineCatalogue.h"
#include "engines/WebRobot.h"
#include "ui_frmWebRobot.h"

namespace zorvik::app {

namespace {

// The busy animation's interval, and how soon after a pump the widgets
// catch up with the model (at most this often while a search runs). The
// page-text box, which changes with every page, follows more slowly.
constexpr int kBusyIntervalMs = 500;
constexpr int kSyncMs = 40;
constexpr int kOutputSyncMs = 400;
// The page-text box shows at most this much of a page.
constexpr std::size_t kOutputShown = 1 << 20;
// A bookmark's menu text is cut to this many characters.
constexpr qsizetype kBookmarkShown = 120;

QString Q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Sets a line box from the model unless it already shows that text.
void Mirror(QLineEdit* box, const std::string& value, std::string& shown) {
  if (value == shown) return;
  shown = value;
  const QSignalBlocker quiet(box);
  box->setText(Q(value));
}

// What a bookmark's menu item shows: one line, control characters as
// blanks, "&" as itself, long addresses cut.
QString BookmarkCaption(const std::string& line) {
  QString text = Q(line.size() > 4 * kBookmarkShown ? line.substr(0, 4 * kBookmarkShown) : line);
  for (QChar& c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = ' ';
  }
  if (text.size() > kBookmarkShown) text = text.left(kBookmarkShown) + "...";
  return text.replace('&', "&&");
}

}  // namespace

frmWebRobot::frmWebRobot(SearchState& state, std::filesystem::path programDirectory, std::unique_ptr<QtHost> host,
                         QWidget* parent)
    : QMainWindow(parent),
      host_(host ? std::move(host) : std::make_unique<QtHost>()),
      ui_(std::make_unique<Ui::frmWebRobot>()),
      bookmarks_(programDirectory / std::string(BookmarkFile::kFileName)) {
  ui_->setupUi(this);
  setWindowIcon(DrawnIcon(IconName::Program));
  host_->SetDefaultFolder(Q(programDirectory.string()));
  EnsureShippedPages();

  // Window load: the tree's root, the bookmarks, the engine lists.
  robot_ = std::make_unique<WebRobot>(*host_, state, std::move(programDirectory));
  robot_->Tree().View().onEntryChanged = [this](std::size_t index) { changedEntries_.push_back(index); };
  for (std::size_t i = 0; i < robot_->Tree().View().Count(); ++i) changedEntries_.push_back(i);
  LoadBookmarks();
  FillEngineLists();
  SetUpPanes();
  WireInputs();
  WireCommands();

  tmrBusy_.setInterval(kBusyIntervalMs);
  connect(&tmrBusy_, &QTimer::timeout, this, &frmWebRobot::tmrBusy_Timer);
  ui_->picBusy->setPixmap(BusyFrame(-1));
  syncSoon_.setSingleShot(true);
  syncSoon_.setInterval(kSyncMs);
  connect(&syncSoon_, &QTimer::timeout, this, &frmWebRobot::Sync);
  connect(host_.get(), &QtHost::Pumped, this, [this] {
    if (!syncSoon_.isActive()) syncSoon_.start();
  });
  connect(host_.get(), &QtHost::RepaintWanted, this, &frmWebRobot::SyncNow);
  SyncNow();
  // Until a search or a command shows something, the pane shows what the
  // program is about.
  if (robot_->Form().BrowserLocation.empty()) pane_->Navigate(PaneUrl(infoPage_.string()));
  CentreOnScreen(*this);
}

frmWebRobot::~frmWebRobot() {
  robot_->Tree().View().onEntryChanged = nullptr;
  // The model's transfers go before the host they are registered with.
  robot_.reset();
}

void frmWebRobot::EnsureShippedPages() {
  // The information and home pages come with the program: a copy the user
  // changed in the program directory, else the shipped file (beside the
  // program or installed). Without either, the copy built into the program
  // is written into the program directory.
  const std::filesystem::path dir = bookmarks_.Path().parent_path();
  for (auto [name, page] : {std::pair{"info.htm", &infoPage_}, std::pair{"home.htm", &homePage_}}) {
    if (auto found = layout::FindShippedFile(name, dir, ExecutableDirectory())) {
      *page = *found;
      continue;
    }
    *page = dir / name;
    const QString target = Q(page->string());
    if (QFile::copy(QString(":/pages/") + name, target))
      QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  }
}

void frmWebRobot::FillEngineLists() {
  combos_[0] = ui_->Combo1;
  combos_[1] = ui_->Combo2;
  combos_[2] = ui_->Combo3;
  combos_[3] = ui_->Combo4;
  combos_[4] = ui_->Combo5;
  for (int n = 1; n <= kEngineListCount; ++n) {
    QComboBox* combo = combos_[n - 1];
    for (std::string_view item : EngineListAt(n).items) combo->addItem(Q(std::string(item)));
    combo->setCurrentIndex(0);
  }
}

void frmWebRobot::SetUpPanes() {
  // The browser pane takes the place held for it in the right-hand panes.
  pane_ = CreateBrowserPane(nullptr);
  pane_->setObjectName("brwWebBrowser");
  auto* placeholder = ui_->brwWebBrowser;
  ui_->rightPanes->replaceWidget(ui_->rightPanes->indexOf(placeholder), pane_);
  placeholder->deleteLater();
  ui_->rightPanes->setStretchFactor(0, 4);
  ui_->rightPanes->setStretchFactor(1, 1);
  ui_->rightPanes->setStretchFactor(2, 1);

  // The divider's left edge stays between 200 units from the window's left
  // and 260 units from its right: the panes either side are never narrower.
  const int margin = ui_->centralLayout->contentsMargins().left();
  ui_->tvURLTreeView->setMinimumWidth(std::max(1, Twips(200) - margin));
  ui_->rightPanes->setMinimumWidth(std::max(1, Twips(260) - ui_->pbDivider->handleWidth() - margin));
  ui_->pbDivider->setStretchFactor(0, 1);
  ui_->pbDivider->setStretchFactor(1, 2);

  for (int i = 0; i < 4; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setObjectName(QString("sbHTTPStatusPanel%1").arg(i + 1));
    panels_[i]->setTextFormat(Qt::PlainText);
    panels_[i]->setFrameShape(QFrame::StyledPanel);
    panels_[i]->setMinimumWidth(i == 0 ? 260 : 140);
    // A new text must not lay the status bar out again.
    panels_[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui_->sbHTTPStatus->addWidget(panels_[i], i == 0 ? 2 : 1);
  }
  ui_->mnuMy->menuAction()->setVisible(false);  // "My Bookmarks" stays hidden
  ui_->btnSearch->setIcon(DrawnIcon(IconName::Search));
  ui_->btnStop->setIcon(DrawnIcon(IconName::Stop));
}

void frmWebRobot::WireInputs() {
  RobotForm& form = robot_->Form();
  connect(ui_->txtURL, &QLineEdit::textEdited, this, [this, &form](const QString& text) {
    form.txtURL = shownURL_ = text.toStdString();
  });
  connect(ui_->txtSearchString, &QLineEdit::textEdited, this, [this, &form](const QString& text) {
    form.txtSearchString = shownExpression_ = text.toStdString();
  });
  connect(ui_->txtSearchDepth, &QLineEdit::textEdited, this, [this, &form](const QString& text) {
    form.txtSearchDepth = shownDepth_ = text.toStdString();
  });
  // Enter in the address box starts a search from it; other keys only type.
  connect(ui_->txtURL, &QLineEdit::returnPressed, this, [this] { Run([this] { robot_->txtURL_KeyPress(13); }); });
  connect(ui_->udSearchDepthUp, &QToolButton::clicked, this,
          [this] { Run([this] { robot_->udSearchDepth_UpClick(); }); });
  connect(ui_->udSearchDepthDown, &QToolButton::clicked, this,
          [this] { Run([this] { robot_->udSearchDepth_DownClick(); }); });

  for (int n = 1; n <= kEngineListCount; ++n) {
    connect(combos_[n - 1], &QComboBox::activated, this, [this, n](int) {
      robot_->Form().Combo(n) = shownCombos_[n - 1] = combos_[n - 1]->currentText().toStdString();
      if (n == 1) Run([this] { robot_->Combo1_Click(); });
    });
  }

  const std::pair<QCheckBox*, bool*> boxes[] = {
      {ui_->chkSave, &form.chkSave},   {ui_->chkPix, &form.chkPix},     {ui_->chkEmail, &form.chkEmail},
      {ui_->chkExtEmail, &form.chkExtEmail}, {ui_->chkLinks, &form.chkLinks}, {ui_->chkStay, &form.chkStay},
      {ui_->chkRobots, &robot_->Options().obeyRobotsTxt}, {ui_->chkHttps, &robot_->Options().followHttps}};
  for (const auto& [box, value] : boxes) {
    box->setChecked(*value);
    connect(box, &QCheckBox::toggled, this, [value = value](bool on) { *value = on; });
  }
}

void frmWebRobot::WireCommands() {
  const auto command = [this](QAction* action, auto&& run) {
    connect(action, &QAction::triggered, this, [this, run] { Run(run); });
  };
  command(ui_->btnSearch, [this] { robot_->tbToolbar_ButtonClick("btnSearch"); });
  command(ui_->btnStop, [this] { robot_->tbToolbar_ButtonClick("btnStop"); });
  command(ui_->mnuNew, [this] { robot_->mnuNew_Click(); });
  command(ui_->mnuPerformSearch, [this] { robot_->mnuPerformSearch_Click(); });
  command(ui_->mnuStopSearch, [this] { robot_->mnuStopSearch_Click(); });
  command(ui_->mnuFileSearch, [this] { robot_->mnuFileSearch_Click(); });
  command(ui_->mnuOpenPage, [this] { robot_->mnuOpenPage_Click(); });
  command(ui_->mnuSearchUrl, [this] {
    robot_->mnuSearchUrl_Click();
    SyncPane(true);
  });
  command(ui_->mnuEngineResult, [this] {
    robot_->mnuEngineResult_Click();
    SyncPane(true);
  });
  command(ui_->mnuViewLinks, [this] { host_->ShellOpen(robot_->Reports().LinksReportPath().string()); });
  command(ui_->mnuInfo, [this] { host_->ShellOpen(infoPage_.string()); });
  command(ui_->MnuStartNew, [this] { host_->StartProcess(QCoreApplication::applicationFilePath().toStdString(), {}); });
  command(ui_->mnuEditBmk, [this] { mnuEditBmk_Click(); });
  connect(ui_->mnuAddBookmark, &QAction::triggered, this, &frmWebRobot::mnuAddBookmark_Click);
  connect(ui_->mnuInternalBrowser, &QAction::triggered, this, &frmWebRobot::mnuInternalBrowser_Click);
  connect(ui_->mnuExit, &QAction::triggered, this, &QWidget::close);
  connect(ui_->Command1, &QPushButton::clicked, this, [this] { Run([this] { robot_->Command1_Click(); }); });
  connect(ui_->Command2, &QPushButton::clicked, this, [this] { Run([this] { robot_->Command2_Click(); }); });
  connect(ui_->tvURLTreeView, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    const auto index = item->data(0, Qt::UserRole).value<qulonglong>();
    if (index >= robot_->Tree().View().Count()) return;
    const std::string key = robot_->Tree().View().Entry(index).key;
    Run([this, &key] {
      robot_->tvURLTreeView_NodeClick(key);
      SyncPane(true);
    });
  });
}

template <class Command>
void frmWebRobot::Run(Command&& command) {
  ++running_;
  command();
  --running_;
  SyncNow();
  if (running_ == 0 && closePending_) {
    closePending_ = false;
    close();
  }
}

// ---- model to widgets ----

void frmWebRobot::SyncNow() {
  syncSoon_.stop();
  Sync();
}

void frmWebRobot::Sync() {
  const RobotForm& form = robot_->Form();
  Mirror(ui_->txtURL, form.txtURL, shownURL_);
  Mirror(ui_->txtSearchString, form.txtSearchString, shownExpression_);
  Mirror(ui_->txtSearchDepth, form.txtSearchDepth, shownDepth_);
  for (int n = 1; n <= kEngineListCount; ++n) {
    const std::string& value = form.Combo(n);
    if (value == shownCombos_[n - 1]) continue;
    shownCombos_[n - 1] = value;
    const QSignalBlocker quiet(combos_[n - 1]);
    combos_[n - 1]->setCurrentIndex(std::max(0, combos_[n - 1]->findText(Q(value), Qt::MatchExactly)));
  }
  const std::pair<QCheckBox*, bool> boxes[] = {
      {ui_->chkSave, form.chkSave},   {ui_->chkPix, form.chkPix},     {ui_->chkEmail, form.chkEmail},
      {ui_->chkExtEmail, form.chkExtEmail}, {ui_->chkLinks, form.chkLinks}, {ui_->chkStay, form.chkStay},
      {ui_->chkRobots, robot_->Options().obeyRobotsTxt}, {ui_->chkHttps, robot_->Options().followHttps}};
  for (const auto& [box, value] : boxes) {
    if (box->isChecked() == value) continue;
    const QSignalBlocker quiet(box);
    box->setChecked(value);
  }
  ui_->txtURL->setEnabled(form.txtURLEnabled);
  ui_->btnSearch->setEnabled(form.btnSearchEnabled);
  ui_->btnStop->setEnabled(form.btnStopEnabled);
  ui_->mnuPerformSearch->setEnabled(form.mnuPerformSearchEnabled);
  ui_->mnuStopSearch->setEnabled(form.mnuStopSearchEnabled);
  if (form.tmrBusyEnabled != tmrBusy_.isActive()) {
    if (form.tmrBusyEnabled) {
      tmrBusy_.start();
    } else {
      tmrBusy_.stop();
      ui_->picBusy->setPixmap(BusyFrame(-1));
    }
  }
  if (form.txtOutput != shownOutput_ && (running_ == 0 || !outputShownAt_.isValid() || outputShownAt_.elapsed() >= kOutputSyncMs)) {
    outputShownAt_.start();
    shownOutput_ = form.txtOutput;
    ui_->txtOutput->setPlainText(Q(shownOutput_.size() > kOutputShown ? shownOutput_.substr(0, kOutputShown)
                                                                      : shownOutput_));
  }
  SyncPanels();
  SyncList();
  SyncTree();
  SyncPane(false);
}

void frmWebRobot::SyncList() {
  const std::vector<std::string>& list = robot_->Form().List1;
  const bool sameStart = shownListCount_ <= list.size() &&
                         (shownListCount_ == 0 || list[shownListCount_ - 1] == shownListLast_);
  if (!sameStart) {
    ui_->List1->clear();
    shownListCount_ = 0;
  }
  if (shownListCount_ == list.size()) return;
  for (std::size_t i = shownListCount_; i < list.size(); ++i) ui_->List1->addItem(Q(list[i]));
  shownListCount_ = list.size();
  shownListLast_ = list.back();
  ui_->List1->scrollToBottom();
}

void frmWebRobot::SyncTree() {
  const TreeViewMirror& view = robot_->Tree().View();
  if (changedEntries_.empty()) return;
  std::sort(changedEntries_.begin(), changedEntries_.end());
  changedEntries_.erase(std::unique(changedEntries_.begin(), changedEntries_.end()), changedEntries_.end());
  QTreeWidget* tree = ui_->tvURLTreeView;
  // Entries are only ever added, a parent before its children: the new ones
  // are those past the items made so far.
  for (std::size_t next = treeItems_.size(); next < view.Count(); ++next) {
    const TreeViewEntry& added = view.Entry(next);
    QTreeWidgetItem* parent = added.parent && *added.parent < treeItems_.size() ? treeItems_[*added.parent] : nullptr;
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, Q(added.text));
    item->setToolTip(0, Q(added.key));
    item->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(next));
    treeItems_.push_back(item);
  }
  for (const std::size_t index : changedEntries_) {
    if (index >= treeItems_.size()) continue;
    const TreeViewEntry& entry = view.Entry(index);
    QTreeWidgetItem* item = treeItems_[index];
    item->setIcon(0, TreeIcon(entry.image));
    if (entry.expanded && !item->isExpanded()) item->setExpanded(true);
  }
  changedEntries_.clear();
  const QSignalBlocker quiet(tree);
  if (const auto current = view.Current(); current && *current < treeItems_.size())
    tree->setCurrentItem(treeItems_[*current]);
  if (const auto visible = view.LastVisible(); visible && *visible < treeItems_.size())
    tree->scrollToItem(treeItems_[*visible]);
}

void frmWebRobot::SyncPane(bool evenIfShown) {
  const std::string& location = robot_->Form().BrowserLocation;
  if (location.empty() || (location == shownLocation_ && !evenIfShown)) return;
  shownLocation_ = location;
  pane_->Navigate(PaneUrl(location));
}

void frmWebRobot::SyncPanels() {
  // The panels change with every transfer state; they are drawn at the
  // window's pace, each with its latest text.
  for (int panel = 1; panel <= 4; ++panel) {
    const QString text = host_->Panel(panel);
    if (panels_[panel - 1]->text() != text) panels_[panel - 1]->setText(text);
  }
}

void frmWebRobot::tmrBusy_Timer() {
  busyFrame_ = (busyFrame_ + 1) % kBusyFrames;
  ui_->picBusy->setPixmap(BusyFrame(busyFrame_));
}

// ---- bookmarks ----

void frmWebRobot::LoadBookmarks() {
  for (QAction* action : mnuMy1_) delete action;
  mnuMy1_.clear();
  // The first element of the bookmark array is the separator.
  QAction* separator = ui_->mnuBookmark->addSeparator();
  separator->setObjectName("mnuMy1_0");
  mnuMy1_.push_back(separator);
  const BookmarkFile::Lines loaded = bookmarks_.Load();
  for (const std::string& line : loaded.lines) {
    QAction* item = ui_->mnuBookmark->addAction(BookmarkCaption(line));
    item->setObjectName(QString("mnuMy1_%1").arg(mnuMy1_.size()));
    item->setData(Q(line));
    connect(item, &QAction::triggered, this, [this, line] {
      robot_->Form().txtURL = line;
      SyncNow();
    });
    mnuMy1_.push_back(item);
  }
  if (loaded.more) {
    QAction* note = ui_->mnuBookmark->addAction(
        QString("(only the first %1 bookmarks are shown)").arg(BookmarkFile::kMenuLimit));
    note->setObjectName("mnuMyMore");
    note->setEnabled(false);
    mnuMy1_.push_back(note);
  }
}

void frmWebRobot::mnuAddBookmark_Click() {
  const std::string address = robot_->Form().txtURL;
  if (!bookmarks_.Append(address)) return;
  const bool full = mnuMy1_.size() > BookmarkFile::kMenuLimit;
  if (full) return;  // the menu already shows as many as it can
  QAction* item = ui_->mnuBookmark->addAction(BookmarkCaption(address));
  item->setObjectName(QString("mnuMy1_%1").arg(mnuMy1_.size()));
  item->setData(Q(address));
  connect(item, &QAction::triggered, this, [this, address] {
    robot_->Form().txtURL = address;
    SyncNow();
  });
  mnuMy1_.push_back(item);
}

void frmWebRobot::mnuEditBmk_Click() {
  frmEditBookmarks editor(bookmarks_, this);
  PlaceOverMainWindow(editor, this);
  host_->RunDialog(editor);
  // Whatever became of the file, the menu shows it as it is now.
  LoadBookmarks();
}

// ---- the internal browser ----

void frmWebRobot::mnuInternalBrowser_Click() {
  if (browser_ == nullptr) {
    const EngineEndpoints& pages = robot_->Endpoints();
    const std::string info = pages.PageAddress("InfoPage");
    const std::string home = pages.PageAddress("HomePage");
    browser_ = new frmBrowser1(info.empty() ? infoPage_.string() : info, home.empty() ? homePage_.string() : home,
                               this);
    connect(browser_, &frmBrowser1::UseInSpider, this, [this](const std::string& address) {
      robot_->Form().txtURL = address;
      SyncNow();
    });
    browser_->Open(ReportReadyMark() == 1, robot_->SearchedReportPath().string());
  } else {
    browser_->show();
    browser_->raise();
  }
}

// ---- closing ----

void frmWebRobot::showEvent(QShowEvent* event) {
  host_->SetQuiet(false);
  QMainWindow::showEvent(event);
  if (sized_) return;
  // The first showing: a third for the tree, most of the right for the pane.
  sized_ = true;
  const int width = ui_->pbDivider->width();
  ui_->pbDivider->setSizes({width / 3, width - width / 3});
  const int height = ui_->rightPanes->height();
  ui_->rightPanes->setSizes({height * 3 / 5, height / 5, height / 5});
}

void frmWebRobot::closeEvent(QCloseEvent* event) {
  robot_->Form_Unload();
  if (running_ > 0) {
    // A command is running further down the stack: stop it, close what it
    // waits on, and close for real once it has unwound.
    closePending_ = true;
    host_->SetQuiet(true);
    robot_->tbToolbar_ButtonClick("btnStop");
    host_->CancelDialogs();
    hide();
    event->ignore();
    return;
  }
  if (browser_ != nullptr) browser_->close();
  host_->SetMousePointer(MousePointer::Default);
  event->accept();
}

}  // namespace zorvik::app
