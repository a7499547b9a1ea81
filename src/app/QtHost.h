#pragma once
// The Host of the desktop program: message boxes, file dialogs, the folder
// chooser and the list pickers as Qt dialogs; the status panels as texts a
// window shows; the mouse pointer; the shell. Its pump runs Qt's pending
// events, so that buttons, menus and repainting work while a long operation
// yields. When nothing yields, Qt's own event loop pumps the transfer
// components whenever it is about to wait, so that a transfer started from
// a click goes on while the user reads. No threads.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string_view>

#include "core/Host.h"

class QDialog;
class QWidget;

namespace zorvik::app {

// The name filters of a file dialog from "desc|pattern|desc|pattern".
QStringList NameFilters(std::string_view filter);

class QtHost : public QObject, public Host {
  Q_OBJECT
 public:
  QtHost();
  ~QtHost() override;

  void ShowStatus(int panel, std::string_view text) override;
  MsgAnswer MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon, std::string_view title) override;
  std::optional<std::string> OpenFileDialog(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFileDialog(const FileDialogSpec& spec) override;
  std::optional<std::string> ChooseFolder(std::string_view title, std::string_view initialDir) override;
  ListPick PickFromList(std::string_view caption, const std::vector<std::string>& items,
                        std::string_view buttonText) override;
  void SetMousePointer(MousePointer pointer) override;
  void Repaint() override;
  std::chrono::system_clock::time_point Now() override;
  bool ShellOpen(std::string_view target) override;
  bool StartProcess(std::string_view program, const std::vector<std::string>& args) override;

  // The text a status panel (1..4) shows now.
  QString Panel(int panel) const;
  // Closes every dialog this host has open, each as its close box would:
  // a window that goes away must not leave a command waiting for an answer.
  void CancelDialogs();
  bool DialogOpen() const;
  // While quiet, every question is answered as its close box would answer
  // it, without being shown: for a window that is going away.
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  bool Quiet() const { return quiet_; }
  // Runs a dialog modally and keeps track of it meanwhile; a quiet host
  // rejects it without showing it.
  int RunDialog(QDialog& dialog);
  // The folder file dialogs start in when they name none.
  void SetDefaultFolder(const QString& folder) { defaultFolder_ = folder; }

 signals:
  void StatusChanged(int panel, const QString& text);
  // After every real pump and every idle pump of the transfers: windows
  // bring their widgets up to date with their models.
  void Pumped();
  // Windows show their models' values now, without running any events.
  void RepaintWanted();

 protected:
  void PumpPlatform() override;
  void WaitPlatform(std::chrono::milliseconds timeout) override;
  // The window dialogs belong to: the active one.
  static QWidget* DialogParent();

 private:
  void PumpWhileIdle();
  std::optional<std::string> FileDialog(const FileDialogSpec& spec, bool save);

  QString panels_[4];
  QList<QPointer<QDialog>> dialogs_;
  QTimer idlePump_;
  QString defaultFolder_;
  MousePointer pointer_ = MousePointer::Default;
  bool quiet_ = false;
};

}  // namespace zorvik::app
