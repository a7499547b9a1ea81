#include "app/browser/WebPane.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineView>

namespace zorvik::app {

WebPane::WebPane(QWidget* parent) : BrowserPane(parent), view_(new QWebEngineView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(view_, &QWebEngineView::loadStarted, this, [this] { busy_ = true; });
  connect(view_, &QWebEngineView::urlChanged, this, [this](const QUrl& url) { emit NavigateComplete(url); });
  connect(view_, &QWebEngineView::loadFinished, this, [this](bool ok) {
    busy_ = false;
    emit DocumentComplete(ok);
  });
}

void WebPane::Navigate(const QUrl& url) {
  busy_ = true;
  view_->setUrl(url);
}

void WebPane::GoBack() { view_->back(); }
void WebPane::GoForward() { view_->forward(); }
void WebPane::Refresh() { view_->reload(); }
void WebPane::Stop() {
  view_->stop();
  busy_ = false;
}

QString WebPane::LocationName() const {
  const QString title = view_->title();
  return title.isEmpty() ? view_->url().toString() : title;
}

QUrl WebPane::LocationURL() const { return view_->url(); }

void PrepareBrowserEngine() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

}  // namespace zorvik::app
