#include "app/QtHost.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "app/browser/BrowserPane.h"
#include "app/robot/ListPicker.h"
#include "app/robot/savedirs.h"

// The program's resources live in this static library: they must be
// registered by name.
static void InitResources() { Q_INIT_RESOURCE(zorvik); }

namespace zorvik::app {

namespace {

// How often the transfers are pumped while Qt's loop is idle, and the
// longest a wait keeps the window system (or the waiting caller) waiting.
constexpr int kIdlePumpMs = 2;
constexpr std::chrono::milliseconds kLongestBlock{5};

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return QMessageBox::Ok;
    case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

// The answer of a box closed without a button: its way out.
MsgAnswer ClosedAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return MsgAnswer::Ok;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel: return MsgAnswer::Cancel;
    case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    case MsgButtons::YesNo: return MsgAnswer::No;
  }
  return MsgAnswer::Ok;
}

std::optional<MsgAnswer> AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Abort: return MsgAnswer::Abort;
    case QMessageBox::Retry: return MsgAnswer::Retry;
    case QMessageBox::Ignore: return MsgAnswer::Ignore;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    default: return std::nullopt;
  }
}

}  // namespace

QStringList NameFilters(std::string_view filter) {
  QStringList filters;
  const QStringList parts = FromView(filter).split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    // "*.htm;*.html" is one filter of two patterns.
    const QString patterns = parts[i + 1].trimmed().replace(';', ' ');
    if (patterns.isEmpty()) continue;
    // Qt reads the patterns from the last parentheses of the text: when the
    // description already ends with them, it stands as it is.
    const bool shown = description.endsWith(")") && description.contains("(" + patterns + ")");
    filters.append(shown ? description : description + " (" + patterns + ")");
  }
  return filters;
}

QtHost::QtHost() {
  InitResources();
  SetLongestBlock(kLongestBlock);
  idlePump_.setSingleShot(true);
  idlePump_.setTimerType(Qt::PreciseTimer);
  idlePump_.setInterval(kIdlePumpMs);
  connect(&idlePump_, &QTimer::timeout, this, &QtHost::PumpWhileIdle);
  // Whenever Qt's loop is about to sleep while a transfer is in flight, it
  // is woken again shortly to drive the transfer on.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      if (!idlePump_.isActive() && EventSourcesActive()) idlePump_.start();
    });
  }
  SetDefaultFolder(QDir::currentPath());
}

QtHost::~QtHost() { SetMousePointer(MousePointer::Default); }

void QtHost::PumpWhileIdle() {
  PumpEventSources();
  emit Pumped();
}

void QtHost::PumpPlatform() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  emit Pumped();
}

void QtHost::WaitPlatform(std::chrono::milliseconds timeout) {
  // Sleeps in Qt's loop until an event arrives or a few milliseconds have
  // passed, so that the waiting caller soon looks at its condition again.
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(static_cast<int>(std::min(timeout, kLongestBlock).count()));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtHost::ShowStatus(int panel, std::string_view text) {
  if (panel < 1 || panel > 4) return;
  const QString shown = FromView(text);
  if (panels_[panel - 1] == shown) return;
  panels_[panel - 1] = shown;
  emit StatusChanged(panel, shown);
}

QString QtHost::Panel(int panel) const { return panel >= 1 && panel <= 4 ? panels_[panel - 1] : QString(); }

QWidget* QtHost::DialogParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

int QtHost::RunDialog(QDialog& dialog) {
  if (quiet_) return QDialog::Rejected;
  dialogs_.append(&dialog);
  const int result = dialog.exec();
  dialogs_.removeAll(&dialog);
  dialogs_.removeAll(nullptr);
  return result;
}

void QtHost::CancelDialogs() {
  // The newest first: a dialog opened from another closes before it.
  for (qsizetype i = dialogs_.size() - 1; i >= 0; --i) {
    if (QDialog* dialog = dialogs_[i]) dialog->reject();
  }
}

bool QtHost::DialogOpen() const {
  return std::any_of(dialogs_.begin(), dialogs_.end(), [](const QPointer<QDialog>& d) { return !d.isNull(); });
}

MsgAnswer QtHost::MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon, std::string_view title) {
  // A box without a title of its own shows the program's name.
  const QString caption = title.empty() ? QApplication::applicationDisplayName() : FromView(title);
  QMessageBox box(IconOf(icon), caption, FromView(text), ButtonsOf(buttons), DialogParent());
  box.setObjectName("MsgBox");
  box.setTextFormat(Qt::PlainText);
  RunDialog(box);
  const auto* clicked = box.clickedButton();
  if (clicked == nullptr) return ClosedAnswer(buttons);
  return AnswerOf(box.standardButton(box.clickedButton())).value_or(ClosedAnswer(buttons));
}

std::optional<std::string> QtHost::FileDialog(const FileDialogSpec& spec, bool save) {
  const QString folder = spec.initialDir.empty() ? defaultFolder_ : QString::fromStdString(spec.initialDir);
  QFileDialog dialog(DialogParent(), QString::fromStdString(spec.title), folder);
  dialog.setObjectName("FileDialog");
  // Qt's own dialog everywhere: the same on every desktop, and one that a
  // test can answer.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // The URL files are opened or created, so an open dialog takes new names.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(NameFilters(spec.filter));
  if (!spec.initialName.empty()) dialog.selectFile(QString::fromStdString(spec.initialName));
  if (RunDialog(dialog) != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(chosen.front()).toStdString();
}

std::optional<std::string> QtHost::OpenFileDialog(const FileDialogSpec& spec) { return FileDialog(spec, false); }

std::optional<std::string> QtHost::SaveFileDialog(const FileDialogSpec& spec) { return FileDialog(spec, true); }

std::optional<std::string> QtHost::ChooseFolder(std::string_view title, std::string_view initialDir) {
  savedirs dialog(FromView(initialDir), DialogParent());
  dialog.setWindowTitle(FromView(title));
  if (RunDialog(dialog) != QDialog::Accepted || !dialog.Chosen()) return std::nullopt;
  return dialog.Chosen()->toStdString();
}

ListPick QtHost::PickFromList(std::string_view caption, const std::vector<std::string>& items,
                              std::string_view buttonText) {
  ListPicker dialog(FromView(caption), items, FromView(buttonText), DialogParent());
  RunDialog(dialog);
  return dialog.Pick();
}

void QtHost::SetMousePointer(MousePointer pointer) {
  if (pointer == pointer_) return;
  if (pointer_ != MousePointer::Default) QApplication::restoreOverrideCursor();
  // Busy: the arrow with an hourglass, the window still takes clicks (Stop);
  // Hourglass: the plain hourglass.
  if (pointer == MousePointer::Busy) QApplication::setOverrideCursor(Qt::BusyCursor);
  if (pointer == MousePointer::Hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
  pointer_ = pointer;
}

void QtHost::Repaint() { emit RepaintWanted(); }

std::chrono::system_clock::time_point QtHost::Now() { return std::chrono::system_clock::now(); }

bool QtHost::ShellOpen(std::string_view target) {
  const QUrl url = PaneUrl(target);
  return url.isValid() && QDesktopServices::openUrl(url);
}

bool QtHost::StartProcess(std::string_view program, const std::vector<std::string>& args) {
  QStringList arguments;
  for (const std::string& a : args) arguments.append(QString::fromStdString(a));
  return QProcess::startDetached(FromView(program), arguments);
}

}  // namespace zorvik::app
