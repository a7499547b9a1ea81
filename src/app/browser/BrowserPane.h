#pragma once
// What the windows ask of an embedded web browser: navigate, go back and
// forward, refresh, stop, the location's name and address, whether it is
// busy, and word when a navigation has completed and when the page has
// loaded. The program plugs in the real browser engine (WebPane); tests that
// check a window's wiring use the light pane, which shows local HTML files
// only and needs no browser engine.

#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <string_view>

class QTextBrowser;

namespace zorvik::app {

class BrowserPane : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;

  virtual void Navigate(const QUrl& url) = 0;
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual void Refresh() = 0;
  virtual void Stop() = 0;
  virtual bool Busy() const = 0;
  // The page's title (its address when it has none) and its address.
  virtual QString LocationName() const = 0;
  virtual QUrl LocationURL() const = 0;

 signals:
  // The pane has committed to showing `url` (after any redirects).
  void NavigateComplete(const QUrl& url);
  // The page has loaded, or failed to.
  void DocumentComplete(bool ok);
};

// An address as the program holds it (a web address, a "file:" address or a
// path on disk) as a URL for a pane.
QUrl PaneUrl(std::string_view location);

// Makes the panes of every window created from now on.
using BrowserPaneFactory = std::function<BrowserPane*(QWidget* parent)>;
void SetBrowserPaneFactory(BrowserPaneFactory factory);
BrowserPane* CreateBrowserPane(QWidget* parent);

// The light pane: local HTML files in a text browser; any other address is
// remembered and reported as loaded, with nothing shown.
class LightPane : public BrowserPane {
  Q_OBJECT
 public:
  explicit LightPane(QWidget* parent = nullptr);

  void Navigate(const QUrl& url) override;
  void GoBack() override;
  void GoForward() override;
  void Refresh() override;
  void Stop() override {}
  bool Busy() const override { return busy_; }
  QString LocationName() const override;
  QUrl LocationURL() const override { return url_; }

 private:
  void Show(const QUrl& url, bool record);

  QTextBrowser* view_;
  QUrl url_;
  QList<QUrl> history_;
  int at_ = -1;
  bool busy_ = false;
};

}  // namespace zorvik::app
