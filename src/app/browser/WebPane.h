#pragma once
// The browser pane over the real browser engine (QtWebEngine).

#include "app/browser/BrowserPane.h"

class QWebEngineView;

namespace zorvik::app {

class WebPane : public BrowserPane {
  Q_OBJECT
 public:
  explicit WebPane(QWidget* parent = nullptr);

  void Navigate(const QUrl& url) override;
  void GoBack() override;
  void GoForward() override;
  void Refresh() override;
  void Stop() override;
  bool Busy() const override { return busy_; }
  QString LocationName() const override;
  QUrl LocationURL() const override;

  QWebEngineView* View() const { return view_; }

 private:
  QWebEngineView* view_;
  bool busy_ = false;
};

// Prepares the process for the browser engine; call before the
// QApplication exists. Running as root, the engine's sandbox cannot start,
// so it is turned off.
void PrepareBrowserEngine();

}  // namespace zorvik::app
