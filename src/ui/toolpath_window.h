#pragma once
// "ツールパス表示": a window of its own that shows the toolpath of one NC file, read for the
// machine chosen in the main window: the views of a machining centre (上, 正面, 右側面, 等角) or a
// lathe's ZX view, rapids and cuts shown or hidden, the programmed extents and a scale, a block
// slider and list (the path up to the chosen block bright, the rest faint; the block's line,
// text, position, F, S, T and time into the program beside it), and a distance between two
// points clicked. The chosen block is offered to others through blockChosen().

#include <QWidget>
#include <memory>
#include <optional>

#include "analysis/machine_model.h"
#include "analysis/toolpath.h"
#include "ui/toolpath_worker.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QTableView;

namespace korvane {

class BlockListModel;
class ToolpathCanvas;

class ToolpathWindow : public QWidget {
  Q_OBJECT

 public:
  ToolpathWindow(const QString& path, const MachineModel& machine, QWidget* parent = nullptr);
  ~ToolpathWindow() override;

  const QString& filePath() const { return path_; }
  // Null while the file is being read, or when it could not be.
  std::shared_ptr<const Toolpath> toolpath() const { return toolpath_; }
  std::optional<std::int64_t> chosenBlock() const { return chosen_; }
  void chooseBlock(std::int64_t ordinal);
  void setView(toolpath::View view);

  ToolpathCanvas* canvas = nullptr;
  QComboBox* viewBox = nullptr;
  QCheckBox* rapidsBox = nullptr;
  QCheckBox* cutsBox = nullptr;
  QPushButton* fitButton = nullptr;
  QPushButton* previousButton = nullptr;
  QPushButton* nextButton = nullptr;
  QPushButton* restartButton = nullptr;  // 途中から送信 from the chosen block
  QSlider* blockSlider = nullptr;
  QLabel* blockInfo = nullptr;
  QTableView* blockList = nullptr;
  QLabel* extentsLabel = nullptr;
  QLabel* measureLabel = nullptr;
  QLabel* statusLabel = nullptr;
  QProgressBar* progressBar = nullptr;

 signals:
  // The operator chose a block (slider, list, step buttons): its number among the file's blocks.
  void blockChosen(qint64 ordinal);
  // The reading ended; false when the file could not be read.
  void loaded(bool ok);
  // 途中から送信 was pressed: the program is to be sent from the chosen block.
  void restartRequested(const QString& path, qint64 ordinal);

 private slots:
  void takeResults();

 private:
  void buildControls();
  void onLoaded(std::shared_ptr<const Toolpath> path, const QString& error);
  void updateShown();
  QString blockDescription(std::int64_t ordinal) const;

  QString path_;
  bool lathe_ = false;
  std::shared_ptr<const Toolpath> toolpath_;
  BlockListModel* model_ = nullptr;
  std::optional<std::int64_t> chosen_;
  std::unique_ptr<ToolpathWorker> worker_;
};

}  // namespace korvane
