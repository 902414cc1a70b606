#pragma once
// The program's one top-level window: the machine box, the file list, the command buttons and
// menus, the status and progress display the engines write to, start-up and the two ways out.

#include <QPointer>
#include <QMainWindow>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "platform/serial/serial_port.h"
#include "settings/settings_store.h"
#include "transfer/transfer_view.h"
#include "ui/main_window_layout.h"
#include "ui/port_choice.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTimer;

namespace korvane {

class Clock;
class FileDialogs;
class FileListEditor;
class Mailer;
class PowerOff;
class ReceiveUi;
struct WindowTransfers;
class Form3;
class Form5;
class Form6;
class frmAbout;
class ListInteractions;
class ToolpathWindow;
class frmRestart;
class SendEngine;

inline const QString kAppTitle = QStringLiteral("ＮＣデータ転送");

class MainWindow : public QMainWindow, public TransferView {
  Q_OBJECT

 public:
  using PortFactory = std::function<std::unique_ptr<SerialPort>()>;
  // Shows a modal message; returns true for OK or Yes. yesNo asks with Yes and No buttons.
  using MessagePresenter = std::function<bool(const QString& text, MessageIcon icon, bool yesNo)>;

  // Builds the window and runs start-up: rows into the list, settings loaded from store, the
  // serial ports probed through makePort, the machine box and check box set, the stored window
  // size applied. The window is not shown.
  MainWindow(SettingsStore& store, const QStringList& rows, PortFactory makePort, QWidget* parent = nullptr);
  ~MainWindow() override;

  SettingsStore& store() { return store_; }
  // Com 1 to Com 10 as the start-up probe found them: every port that has an entry in
  // korvane-ports or a device, with its device or address and whether it opened.
  const QList<PortChoice>& portChoices() const { return portChoices_; }
  // The window's serial component: DTR enabled, closed between transfers. May be null when the
  // platform gave no port.
  SerialPort* serialPort() const { return serialPort_.get(); }
  const PortFactory& portFactory() const { return makePort_; }

  // The window's outer size (frame included) in twips, as stored at exit.
  QSize outerSizeTwips() const;
  // Sets the outer size in twips, as start-up does with the stored size, and lays the controls
  // out for it. A dimension the window cannot take is left as it is.
  void applyOuterSize(double widthTwips, double heightTwips);
  const MainLayout& layoutTwips() const { return layout_; }
  const LayoutMargins& layoutMargins() const { return margins_; }

  // What ends the program after "終了": by default the process ends at once, so no further
  // window event runs even when a transfer is waiting in the middle of its loop.
  void setQuitFunction(std::function<void()> quit) { quit_ = std::move(quit); }
  void setMessagePresenter(MessagePresenter presenter) { presenter_ = std::move(presenter); }

  // The services behind the list editing and the transfers. Each defaults to the real one of the
  // platform; tests put fakes in before the first command that uses them. Not owned.
  void setFileDialogs(FileDialogs* dialogs);
  void setReceiveUi(ReceiveUi* ui);
  void setCompletionServices(Mailer* mailer, PowerOff* powerOff, std::function<void()> endProgram);
  void setClock(Clock* clock);
  // Shows the "途中から送信" dialog and returns its result (QDialog::Accepted to send); by
  // default modal. Tests answer it instead.
  void setRestartDialogPresenter(std::function<int(frmRestart& dialog)> presenter) { restartPresenter_ = std::move(presenter); }
  // Sends the restart program in `path` through the window's send engine, as 送信 sends a file;
  // the list shows `row` (the program it was made from) as the row being sent and the completion
  // mail names `mailRow`.
  void sendRestartProgram(const QString& path, int row, const QString& mailRow);
  FileListEditor& listEditor();
  QStringList rows() const;

  // Measures the selected files and shows the rows in the result window (also called by the DNC
  // result window for its output).
  void kakou_time();
  void kakou_time(const QStringList& paths);

  // Opens the toolpath window for a file, read for the machine selected in the machine box.
  ToolpathWindow* openToolpath(const QString& path);

  // While true, commands that would start a second transfer or change the list are refused.
  bool transferRunning() const { return runningTransfer_.has_value(); }
  bool sendRunning() const { return runningTransfer_ == TransferKind::Send; }

  // TransferView
  void enterTransfer(TransferKind kind) override;
  void leaveTransfer(TransferKind kind) override;
  void setWindowCaption(const QString& text) override;
  void setStatusText(const QString& text) override;
  void setElapsedText(const QString& text) override;
  void setProgressRange(qint64 maximum) override;
  void setProgressValue(qint64 value) override;
  void setRowSelected(int row, bool selected) override;
  void clearRowSelection() override;
  void setListSending(bool sending) override;
  void showMessage(const QString& text, MessageIcon icon) override;
  bool askYesNo(const QString& text, MessageIcon icon) override;

  // Set to true to ask a running transfer to stop; the engines clear and poll it.
  std::atomic<bool> gblnCancelFlag{false};

  // Controls, named as the engines and the other list features refer to them.
  QLabel* Label2 = nullptr;
  QComboBox* comportm = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* flistadd = nullptr;
  QPushButton* flistins = nullptr;
  QPushButton* flistdel = nullptr;
  QPushButton* cmdedit = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* Cmdsend = nullptr;
  QPushButton* cmdget = nullptr;
  QPushButton* cmdportset = nullptr;
  QPushButton* cmdexit = nullptr;
  QCheckBox* Check1 = nullptr;
  QLabel* statusPanel1 = nullptr;
  QLabel* statusPanel2 = nullptr;
  QFrame* Line1 = nullptr;
  QFrame* Line2 = nullptr;
  QFrame* Line3 = nullptr;
  QFrame* Line4 = nullptr;

  QMenu* mnufile = nullptr;
  QAction* mnufileopen = nullptr;
  QAction* mnuedit = nullptr;
  QAction* mnusend = nullptr;
  QAction* mnuget = nullptr;
  QAction* mnufsave = nullptr;
  QAction* mnusp = nullptr;
  QAction* mnuexit = nullptr;
  QMenu* mnuhelp = nullptr;
  QAction* mnuhelphelp = nullptr;
  QAction* mnuhelpver = nullptr;

  // Context menus of the list; they never appear in the menu bar.
  QMenu* flistmnu = nullptr;
  QAction* flist_fname = nullptr;
  QAction* flist_time = nullptr;
  QAction* flist_add = nullptr;
  QAction* flist_ins = nullptr;
  QAction* flist_dell = nullptr;
  QAction* flist_edit = nullptr;
  QAction* flist_dnc = nullptr;
  QAction* flist_view = nullptr;
  QAction* flist_toolpath = nullptr;
  QAction* flist_restart = nullptr;
  QMenu* flistmnu2 = nullptr;
  QAction* flist_add2 = nullptr;

 public slots:
  void onAddFiles();
  void onInsertFile();
  void onDeleteFiles();
  void onEdit();
  void onViewer();
  void onFileInfo();
  void onMachiningTime();
  void onDnc();
  void onToolpath();
  void onRestartSend();
  // The restart dialog for the program of list row `row` (or the file at `path` when no row
  // holds it), at block `ordinal` of the file where one is chosen.
  void openRestart(int row, const QString& path, std::optional<std::int64_t> ordinal);
  void onSend();
  void onReceive();
  void onSettings();
  void onSaveSettings();
  void onExit();
  void onHelp();
  void onAbout();
  void onMachineSelected(int position);
  void onShutdownClicked(bool checked);

 signals:
  // A toolpath window was opened: its chosen block (blockChosen) is where a restart would begin.
  void toolpathOpened(ToolpathWindow* window);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The two ways out the operator can take while a transfer runs.
  enum class WayOut { CloseBox, Exit };
  // Asks whether to stop the running transfer and leave; the transfer goes on while the question
  // is open. On Yes the transfer is stopped as 中断 stops it and the window leaves once it ended.
  void askToStopAndLeave(WayOut way);
  void closeQuestionAnswered(int answer);
  // The elapsed time of a reception, shown also while it waits for the machine's first line.
  void showReceptionTime();
  void stopReceptionDisplay();

  void buildControls();
  void buildMenus();
  void connectEvents();
  void applyTabOrder();
  void startUp(const QStringList& rows);
  void probePorts();
  void placeControls();
  void layoutForOuterSize(const QSize& twips);
  QSize frameExtraPx() const;
  void fitFrameOnce();
  QList<QWidget*> transferControls(TransferKind kind) const;
  WindowTransfers& transfers();
  SendEngine* sendEngine();
  // Tooltips, context menus, double-click and drops on the list; called once by the constructor.
  void setUpListInteractions();

  SettingsStore& store_;
  PortFactory makePort_;
  std::unique_ptr<SerialPort> serialPort_;
  QList<PortChoice> portChoices_;
  MainLayout layout_;
  LayoutMargins margins_;
  bool layoutReady_ = false;
  // The stored outer size, in pixels, until the window manager's frame is known and the size
  // could be applied with it; a frame added later would otherwise grow the window every run.
  std::optional<QSize> pendingOuterPx_;
  // The last size applied from twips, and the pixels it gave.
  QSize appliedTwips_{-1, -1};
  QSize appliedPx_{-1, -1};
  std::optional<TransferKind> runningTransfer_;
  QMessageBox* closeQuestion_ = nullptr;
  WayOut askedWayOut_ = WayOut::CloseBox;
  std::optional<WayOut> leaveAfterTransfer_;  // answered Yes: taken when the transfer has ended
  QTimer* receptionClock_ = nullptr;
  std::optional<qint64> receptionStartMs_;
  qint64 progressScale_ = 1;
  std::function<void()> quit_;
  MessagePresenter presenter_;
  std::unique_ptr<WindowTransfers> transfers_;
  // While a restart program is sent: the list row it was made from and what the mail names.
  int rowShownForSend_ = -1;
  QStringList mailRowsForSend_;
  std::function<int(frmRestart&)> restartPresenter_;
  ListInteractions* listInteractions_ = nullptr;
  // Windows of the window's own, created on first use (owned through Qt's parent).
  Form3* settingsDialog_ = nullptr;
  Form5* resultWindow_ = nullptr;
  Form6* dncWindow_ = nullptr;
  QPointer<frmAbout> aboutBox_;  // "OK" deletes the box; the pointer then reads null
};

}  // namespace korvane
