#include "app/browser/BrowserPane.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace zorvik::app {

namespace {

BrowserPaneFactory& Factory() {
  static BrowserPaneFactory factory;
  return factory;
}

}  // namespace

QUrl PaneUrl(std::string_view location) {
  const QString text = QString::fromUtf8(location.data(), static_cast<qsizetype>(location.size())).trimmed();
  if (text.isEmpty()) return {};
  // A path on disk (absolute, or relative to the working folder).
  if (text.startsWith('/') || QFileInfo::exists(text)) return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
  return QUrl::fromUserInput(text);
}

void SetBrowserPaneFactory(BrowserPaneFactory factory) { Factory() = std::move(factory); }

BrowserPane* CreateBrowserPane(QWidget* parent) {
  if (Factory()) return Factory()(parent);
  return new LightPane(parent);
}

LightPane::LightPane(QWidget* parent) : BrowserPane(parent), view_(new QTextBrowser(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  view_->setOpenLinks(false);
  connect(view_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) { Navigate(url_.resolved(link)); });
}

void LightPane::Navigate(const QUrl& url) { Show(url, true); }

void LightPane::Show(const QUrl& url, bool record) {
  url_ = url;
  if (record) {
    history_.erase(history_.begin() + (at_ + 1), history_.end());
    history_.append(url);
    at_ = static_cast<int>(history_.size()) - 1;
  }
  busy_ = true;
  if (url.isLocalFile()) {
    view_->setSource(url);
  } else {
    view_->clear();
  }
  // Like a real engine, report from the event loop rather than from inside
  // the call.
  QTimer::singleShot(0, this, [this, url] {
    if (url != url_) return;
    busy_ = false;
    emit NavigateComplete(url);
    emit DocumentComplete(!url.isLocalFile() || QFileInfo::exists(url.toLocalFile()));
  });
}

void LightPane::GoBack() {
  if (at_ > 0) Show(history_[--at_], false);
}

void LightPane::GoForward() {
  if (at_ + 1 < history_.size()) Show(history_[++at_], false);
}

void LightPane::Refresh() {
  if (!url_.isEmpty()) Show(url_, false);
}

QString LightPane::LocationName() const {
  const QString title = view_->documentTitle();
  return title.isEmpty() ? url_.toString() : title;
}

}  // namespace zorvik::app
