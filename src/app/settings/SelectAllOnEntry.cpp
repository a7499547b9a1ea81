#include "app/settings/SelectAllOnEntry.h"

#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace zorvik::app {

namespace {

class Selector : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) {
      // After the focus change is complete: a click that gave the focus
      // would otherwise place the cursor over the selection.
      QPointer<QLineEdit> box = qobject_cast<QLineEdit*>(watched);
      QTimer::singleShot(0, this, [box] {
        if (box) box->selectAll();
      });
    }
    return false;
  }
};

}  // namespace

void SelectAllOnEntry(QLineEdit& box) { box.installEventFilter(new Selector(&box)); }

}  // namespace zorvik::app
