#include "ui/dnc_window.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVariant>

#include "analysis/dnc_converter.h"
#include "platform/desktop/process_launcher.h"
#include "ui/file_dialogs.h"
#include "ui/file_list_logic.h"
#include "ui/list_interactions.h"
#include "ui/main_window.h"

namespace korvane {

namespace {

// The injected dialog rides on the window itself, so each window keeps its own.
constexpr char kSaveDialogProperty[] = "korvaneDncSaveDialog";

void addAndSelect(QListWidget* list, const QString& text) {
  list->addItem(text);
  list->setCurrentRow(list->count() - 1);
}

}  // namespace

std::optional<QString> QtSaveDialog::saveFile(const QString& caption, const QString& folder, const QString& filter) {
  const QString filters = qtNameFilters(filter).join(QStringLiteral(";;"));
  const QString chosen = QFileDialog::getSaveFileName(parent_, caption, folder, filters, nullptr, kFilterDialogOptions);
  if (chosen.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(chosen);
}

void setDncSaveDialog(MainWindow& window, SaveDialog* dialog) {
  window.setProperty(kSaveDialogProperty, QVariant::fromValue(static_cast<void*>(dialog)));
}

SaveDialog* dncSaveDialog(const MainWindow& window) {
  return static_cast<SaveDialog*>(window.property(kSaveDialogProperty).value<void*>());
}

Form6::Form6(MainWindow& main) : QWidget(&main, Qt::Window), main_(main) {
  setWindowTitle(kDncCaption);
  setFixedSize(520, 330);

  Label1 = new QLabel(QStringLiteral("変換されたＳＵＢ　　　　　　　　　　　　変換されないＳＵＢ"), this);
  Label1->setGeometry(10, 8, 500, 20);
  List1 = new QListWidget(this);
  List1->setGeometry(10, 32, 245, 240);
  List2 = new QListWidget(this);
  List2->setGeometry(265, 32, 245, 240);

  Command1 = new QPushButton(QStringLiteral("閉　じ　る"), this);
  Command1->setGeometry(10, 285, 160, 32);
  Command2 = new QPushButton(QStringLiteral("編　　集"), this);
  Command2->setGeometry(180, 285, 160, 32);
  Command3 = new QPushButton(QStringLiteral("加工長、時間"), this);
  Command3->setGeometry(350, 285, 160, 32);

  // Closing only hides the window: the main window keeps it for the next run, which empties
  // the lists before it shows them again.
  connect(Command1, &QPushButton::clicked, this, &QWidget::close);
  connect(Command2, &QPushButton::clicked, this, &Form6::onEdit);
  connect(Command3, &QPushButton::clicked, this, &Form6::onMachiningTime);
}

void Form6::startConversion() {
  List1->clear();
  List2->clear();
  show();
  raise();
}

void Form6::addConverted(const QString& entry) { addAndSelect(List1, entry); }

void Form6::addUnconverted(const QString& callLine) { addAndSelect(List2, callLine); }

void Form6::onEdit() {
  const QString editor = main_.store().app().editorPath;
  if (editor.isEmpty()) {
    main_.showMessage(kEditorNotSetMessage, MessageIcon::Critical);
    return;
  }
  if (destination_.isEmpty()) return;
  // The path goes as one argument, never through a shell, so blanks and quotes in it are safe.
  if (auto error = startStoredCommand(processLauncher(), editor, {destination_})) {
    main_.showMessage(*error, MessageIcon::Critical);
  }
}

// Measured as a row of the main list: the operator's selection there is given up for it, and
// the row goes again afterwards.
void Form6::onMachiningTime() {
  if (destination_.isEmpty()) return;
  QListWidget* list = main_.List1;
  list->clearSelection();
  list->addItem(destination_);
  QListWidgetItem* row = list->item(list->count() - 1);
  row->setSelected(true);
  main_.kakou_time();
  delete list->takeItem(list->row(row));
}

}  // namespace korvane
