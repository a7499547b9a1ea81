#pragma once
// "Bookmark Editor": the whole bookmark file in one text box; "Ok" writes it
// back and closes. Closing it any other way, or "Ok" without a change,
// leaves the file as it was.

#include <QDialog>
#include <memory>

#include "engines/Bookmarks.h"

namespace Ui {
class frmEditBookmarks;
}

namespace zorvik::app {

class frmEditBookmarks : public QDialog {
  Q_OBJECT
 public:
  explicit frmEditBookmarks(const BookmarkFile& file, QWidget* parent = nullptr);
  ~frmEditBookmarks() override;

 private:
  void Command1_Click();

  std::unique_ptr<Ui::frmEditBookmarks> ui_;
  const BookmarkFile& file_;
};

}  // namespace zorvik::app
