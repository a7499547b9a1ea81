#include "app/mail/NewMessage.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

#include "app/QtHost.h"
#include "app/mail/Form3.h"
#include "app/shell/WindowPlacement.h"
#include "ui_NewMessage.h"

namespace zorvik::app {

namespace {

QString FromStd(const std::string& s) { return QString::fromStdString(s); }

// The widgets hold LF line ends; the model holds CRLF.
QString Shown(const std::string& crlf) { return FromStd(crlf).replace("\r\n", "\n"); }
std::string Held(const QString& lf) {
  return QString(lf).replace("\r\n", "\n").replace("\n", "\r\n").toStdString();
}

}  // namespace

NewMessage::NewMessage(const MailSettings& settings, std::string productPage,
                       std::unique_ptr<QtHost> host, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::NewMessage>()),
      host_(host ? std::move(host) : std::make_unique<QtHost>()),
      model_(*host_, settings, mail::ProcessMailFlags(), std::move(productPage)) {
  ui_->setupUi(this);
  ui_->txtBody->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  auto field = [this](QLineEdit* edit, std::string mail::NewMessage::*value) {
    connect(edit, &QLineEdit::textEdited, this,
            [this, value](const QString& text) { model_.*value = text.toStdString(); });
  };
  field(ui_->txtTo, &mail::NewMessage::txtTo);
  field(ui_->txtSubject, &mail::NewMessage::txtSubject);
  field(ui_->txtCC, &mail::NewMessage::txtCC);
  field(ui_->txtBCC, &mail::NewMessage::txtBCC);
  connect(ui_->txtBody, &QPlainTextEdit::textChanged, this, [this] {
    if (syncing_) return;
    model_.txtBody = Held(ui_->txtBody->toPlainText());
    shownBody_ = model_.txtBody;
  });
  connect(ui_->cmbAttachments, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!syncing_) model_.cmbAttachmentsIndex = index;
  });
  auto option = [this](QRadioButton* button, bool mail::NewMessage::*value) {
    connect(button, &QRadioButton::toggled, this,
            [this, value](bool on) {
              if (!syncing_) model_.*value = on;
            });
  };
  option(ui_->optUU, &mail::NewMessage::optUU);
  option(ui_->optQuotedPrintable, &mail::NewMessage::optQuotedPrintable);
  option(ui_->optBinhex40, &mail::NewMessage::optBinhex40);
  option(ui_->optBase64, &mail::NewMessage::optBase64);

  connect(ui_->Command1, &QPushButton::clicked, this, [this] { Run(&mail::NewMessage::Command1_Click); });
  connect(ui_->Send, &QPushButton::clicked, this, [this] { Run(&mail::NewMessage::Send_Click); });
  connect(ui_->Command2, &QPushButton::clicked, this, [this] { Run(&mail::NewMessage::Command2_Click); });
  connect(ui_->Cancel, &QPushButton::clicked, this, &QWidget::close);
  connect(ui_->mnuClose, &QAction::triggered, this, &QWidget::close);
  connect(ui_->mnuInsert, &QAction::triggered, this, [this] { Run(&mail::NewMessage::mnuInsert_Click); });
  connect(ui_->mnuOpenMailFile, &QAction::triggered, this,
          [this] { Run(&mail::NewMessage::mnuOpenMailFile_Click); });
  connect(ui_->mnuOpenBCC, &QAction::triggered, this, [this] { Run(&mail::NewMessage::mnuOpenBCC_Click); });
  connect(ui_->mnuCut, &QAction::triggered, this, [this] { SendKey(Qt::Key_X); });
  connect(ui_->mnuCopy, &QAction::triggered, this, [this] { SendKey(Qt::Key_C); });
  connect(ui_->mnuPaste, &QAction::triggered, this, [this] { SendKey(Qt::Key_V); });

  model_.showForm3 = [this] {
    Form3 dialog(this);
    return dialog.Ask(*host_);
  };
  model_.changed = [this] { Sync(); };
  connect(host_.get(), &QtHost::Pumped, this, &NewMessage::Sync);
  connect(host_.get(), &QtHost::RepaintWanted, this, &NewMessage::Sync);

  model_.Form_Load();
  CentreOnScreen(*this);
  Sync();
}

NewMessage::~NewMessage() {
  model_.changed = nullptr;
  model_.showForm3 = nullptr;
}

void NewMessage::Run(void (mail::NewMessage::*command)()) {
  (model_.*command)();
  Sync();
}

void NewMessage::SendKey(int key) {
  QWidget* target = focusWidget();
  if (target == nullptr) return;
  QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
  QCoreApplication::sendEvent(target, &press);
  QCoreApplication::sendEvent(target, &release);
}

void NewMessage::Sync() {
  if (syncing_) return;
  syncing_ = true;
  auto line = [](QLineEdit* edit, const std::string& value) {
    if (edit->text().toStdString() != value) edit->setText(FromStd(value));
  };
  line(ui_->txtTo, model_.txtTo);
  line(ui_->txtSubject, model_.txtSubject);
  line(ui_->txtCC, model_.txtCC);
  line(ui_->txtBCC, model_.txtBCC);
  line(ui_->txtSent, model_.txtSent);
  if (model_.txtBody != shownBody_) {
    shownBody_ = model_.txtBody;
    ui_->txtBody->setPlainText(Shown(shownBody_));
  }
  if (model_.Text1 != shownLog_) {
    if (model_.Text1.starts_with(shownLog_)) {
      // The protocol log grows at its end.
      QTextCursor end = ui_->Text1->textCursor();
      end.movePosition(QTextCursor::End);
      end.insertText(Shown(model_.Text1.substr(shownLog_.size())));
    } else {
      ui_->Text1->setPlainText(Shown(model_.Text1));
    }
    shownLog_ = model_.Text1;
    ui_->Text1->verticalScrollBar()->setValue(ui_->Text1->verticalScrollBar()->maximum());
  }
  if (model_.cmbAttachments != shownAttachments_) {
    shownAttachments_ = model_.cmbAttachments;
    ui_->cmbAttachments->clear();
    for (const std::string& path : shownAttachments_) ui_->cmbAttachments->addItem(FromStd(path));
  }
  if (ui_->cmbAttachments->currentIndex() != model_.cmbAttachmentsIndex)
    ui_->cmbAttachments->setCurrentIndex(model_.cmbAttachmentsIndex);
  ui_->optUU->setChecked(model_.optUU);
  ui_->optQuotedPrintable->setChecked(model_.optQuotedPrintable);
  ui_->optBinhex40->setChecked(model_.optBinhex40);
  ui_->optBase64->setChecked(model_.optBase64);
  // While a list goes out, the message stays as the list started with it.
  const bool listing = model_.ListRunning();
  for (QLineEdit* edit : {ui_->txtTo, ui_->txtSubject, ui_->txtCC, ui_->txtBCC}) edit->setReadOnly(listing);
  ui_->txtBody->setReadOnly(listing);
  for (QAction* action : {ui_->mnuInsert, ui_->mnuOpenMailFile, ui_->mnuOpenBCC}) action->setEnabled(!listing);
  const bool idle = !model_.Busy();
  ui_->Send->setEnabled(idle);
  ui_->Command2->setEnabled(idle);
  ui_->Command1->setEnabled(idle);
  syncing_ = false;
}

void NewMessage::closeEvent(QCloseEvent* event) {
  // A running list stops before its next line, and whatever the running
  // command asks now is answered as a close box would; the window goes once
  // the command has returned.
  model_.RequestClose();
  if (model_.InCommand()) {
    host_->SetQuiet(true);
    host_->CancelDialogs();
  }
  event->accept();
  if (!closed_) {
    closed_ = true;
    DeleteWhenIdle();
  }
}

void NewMessage::DeleteWhenIdle() {
  if (model_.InCommand()) {
    QTimer::singleShot(20, this, &NewMessage::DeleteWhenIdle);
    return;
  }
  deleteLater();
}

NewMessage& ShowComposer(QPointer<NewMessage>& composer, const MailSettings& settings,
                         const std::string& productPage) {
  if (composer.isNull()) composer = new NewMessage(settings, productPage);
  composer->show();
  composer->raise();
  composer->activateWindow();
  return *composer;
}

}  // namespace zorvik::app
