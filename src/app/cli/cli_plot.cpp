// korvane-cli plot [--profile N] [--lathe|--mill] [--view V] [--size WxH] [--until BLOCK] FILE -o OUT:
// the toolpath of a program as an SVG drawing (user units: the program's millimetres) or a PNG
// picture, read as the time estimate reads it.
#include <QFileInfo>
#include <QSaveFile>
#include <QSize>

#include "analysis/toolpath_svg.h"
#include "app/cli/cli_machine_model.h"
#include "app/cli/png_plot.h"

namespace korvane::cli {
namespace {

using toolpath::View;

const QCommandLineOption kView(QStringLiteral("view"),
                               QStringLiteral("top (XY), front (XZ), side (YZ), iso, or lathe (Z across, X as "
                                              "radius up). Default: lathe for a lathe, else top."),
                               QStringLiteral("VIEW"));
const QCommandLineOption kSize(QStringLiteral("size"), QStringLiteral("The picture's size in pixels (default 1200x900)."),
                               QStringLiteral("WxH"), QStringLiteral("1200x900"));
const QCommandLineOption kUntil(QStringLiteral("until"),
                                QStringLiteral("Draw the path up to this block, the rest faint: N500, line:120 (or "
                                               "120), tool:3 (the 3rd tool change), text:STRING."),
                                QStringLiteral("BLOCK"));
const QCommandLineOption kOutput(QStringLiteral("o"), QStringLiteral("Write to OUT: .svg or .png."), QStringLiteral("OUT"));

std::optional<View> viewNamed(const QString& name) {
  static const std::pair<const char*, View> kNames[] = {
      {"top", View::Top}, {"front", View::Front}, {"side", View::Side}, {"iso", View::Iso}, {"lathe", View::Lathe}};
  for (const auto& [text, view] : kNames) {
    if (name == QLatin1String(text)) return view;
  }
  return std::nullopt;
}

std::optional<QSize> sizeNamed(const QString& text) {
  const QStringList parts = text.toLower().split(QLatin1Char('x'));
  if (parts.size() != 2) return std::nullopt;
  bool okW = false;
  bool okH = false;
  const int w = parts[0].toInt(&okW);
  const int h = parts[1].toInt(&okH);
  if (!okW || !okH || w < 16 || h < 16 || w > 20000 || h > 20000) return std::nullopt;
  return QSize(w, h);
}

void definePlot(QCommandLineParser& parser) {
  addMachineOptions(parser);
  parser.addOption(kView);
  parser.addOption(kSize);
  parser.addOption(kUntil);
  parser.addOption(kOutput);
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The NC program to draw."));
}

bool writePng(const Toolpath& path, View view, const QSize& size, const std::optional<std::size_t>& untilMove,
              const QString& title, const QString& out, QString* error) {
  KorvanePngRequest request;
  request.path = &path;
  request.view = static_cast<int>(view);
  request.width = size.width();
  request.height = size.height();
  request.drawsUntil = untilMove.has_value();
  request.untilMove = untilMove.value_or(0);
  request.title = title;
  request.out = out;
  if (png::writePicture(request)) return true;
  *error = request.error;
  return false;
}

bool writeSvgFile(const Toolpath& path, const toolpath::SvgOptions& options, const QString& out, QString* error) {
  QSaveFile file(out);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = file.errorString();
    return false;
  }
  if (!toolpath::writeSvg(path, options, file) || !file.commit()) {
    *error = file.errorString();
    return false;
  }
  return true;
}

int runPlot(const QCommandLineParser& parser) {
  const QStringList files = parser.positionalArguments();
  SettingsStore store(SettingsStore::defaultIniPath());
  store.loadSettings();
  const std::optional<MachineModel> machine = chosenMachine(parser, "plot", store);
  if (!machine) return kUsageStatus;
  if (files.size() != 1) return fail(QStringLiteral("plot: give one FILE"));
  const QString out = parser.value(kOutput);
  if (out.isEmpty()) return fail(QStringLiteral("plot: no destination given (-o OUT)"));
  const QString suffix = QFileInfo(out).suffix().toLower();
  if (suffix != QLatin1String("svg") && suffix != QLatin1String("png")) {
    return fail(QStringLiteral("plot: %1: the destination ends in .svg or .png").arg(out));
  }
  const View defaultView = machine->lathe() ? View::Lathe : View::Top;
  const std::optional<View> view = parser.isSet(kView) ? viewNamed(parser.value(kView)) : defaultView;
  if (!view) {
    return fail(QStringLiteral("plot: --view %1: top, front, side, iso or lathe").arg(parser.value(kView)));
  }
  if ((*view == View::Lathe) != machine->lathe()) {
    return fail(machine->lathe() ? QStringLiteral("plot: a lathe program is drawn in the lathe view (--view lathe)")
                                 : QStringLiteral("plot: --view lathe draws a lathe program (--lathe, or a profile "
                                                  "with 機械種類=1)"));
  }
  const std::optional<QSize> size = sizeNamed(parser.value(kSize));
  if (!size) return fail(QStringLiteral("plot: --size %1: WIDTHxHEIGHT in pixels, 16 to 20000").arg(parser.value(kSize)));
  std::optional<BlockSelector> selector;
  if (parser.isSet(kUntil)) {
    QString why;
    selector = BlockSelector::parse(parser.value(kUntil), &why);
    if (!selector) return fail(QStringLiteral("plot: --until ") + why);
  }
  reportSettingsNotice(store);
  if (!store.loadProblem().isEmpty()) {
    err() << "korvane-cli: plot: " << settingsProblemText(store)
          << "\n既定の機械 (早送り速度 5000 mm/min) で読みます" << Qt::endl;
  }

  const QString& file = files.first();
  QString error;
  const std::unique_ptr<Toolpath> path = readToolpath(file, *machine, &error, {}, selector);
  if (!path) return fail(QStringLiteral("plot: %1: %2").arg(file, error));
  std::optional<std::int64_t> until;
  if (selector) {
    until = path->selectedBlock();
    if (!until) return fail(QStringLiteral("plot: %1: no block %2 in it").arg(file, selector->describe()));
  }
  const QString title = QFileInfo(file).fileName();
  bool written = false;
  if (suffix == QLatin1String("svg")) {
    toolpath::SvgOptions options;
    options.view = *view;
    options.width = size->width();
    options.height = size->height();
    options.untilBlock = until;
    options.title = title;
    written = writeSvgFile(*path, options, out, &error);
  } else {
    const std::optional<std::size_t> untilMove =
        until ? std::optional<std::size_t>(path->movesThrough(*until)) : std::nullopt;
    written = writePng(*path, *view, *size, untilMove, title, out, &error);
  }
  if (!written) return fail(QStringLiteral("plot: %1: %2").arg(out, error), 1);
  return 0;
}

const Registrar registrar({"plot",
                           "[--profile N] [--lathe|--mill] [--view top|front|side|iso|lathe] [--size WxH] "
                           "[--until BLOCK] FILE -o OUT",
                           "the toolpath of FILE as an SVG drawing (units: the program's mm; cuts in\n"
                           "<path class=\"feed\">, rapids in <path class=\"rapid\">) or a PNG picture, by OUT's\n"
                           "extension; read for the machine of the profile as analyze reads it",
                           definePlot, runPlot});

}  // namespace
}  // namespace korvane::cli
