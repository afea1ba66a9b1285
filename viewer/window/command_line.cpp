#include "command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kUsageError = 2;
constexpr int kSlowestRate = 1;
constexpr int kFastestRate = 120;
constexpr qulonglong kLeastCacheMiB = 16;

bool IsOption(const char* argument) { return argument[0] == '-' && argument[1] != '\0'; }

// The arguments that are not options, as the system gave their bytes: everything after "--", and
// before it every argument that is not an option nor the value of one that takes a value.
std::vector<QByteArray> PositionalBytes(int argc, const char* const* argv,
                                        const QStringList& optionsWithValues) {
  std::vector<QByteArray> positional;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (optionsEnded || !IsOption(argument)) {
      positional.emplace_back(argument);
    } else if (std::strcmp(argument, "--") == 0) {
      optionsEnded = true;
    } else {
      const QString name = QString::fromLocal8Bit(argument).remove(QRegularExpression("^--?"));
      if (optionsWithValues.contains(name)) ++i;  // "--fps 24": the value is not a FILE
    }
  }
  return positional;
}

// The bytes the system gave for the value of option name ("--name VALUE" or "--name=VALUE"),
// up to "--".
std::optional<QByteArray> OptionBytes(int argc, const char* const* argv, const char* name) {
  const QByteArray single = QByteArray("-") + name, full = QByteArray("--") + name;
  for (int i = 1; i < argc; ++i) {
    const QByteArray argument(argv[i]);
    if (argument == "--") break;
    if ((argument == single || argument == full) && i + 1 < argc) return QByteArray(argv[i + 1]);
    for (const QByteArray& form : {single, full})
      if (argument.startsWith(form + '=')) return argument.mid(form.size() + 1);
  }
  return std::nullopt;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, const QString& version) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Lumenor shows SGI image files (.rgb, .bw): grey, RGB and RGBA, uncompressed or run-length\n"
      "encoded. Without FILE it starts with an empty window; choose File > Open or drop a file\n"
      "on the window. Lumenor opens one picture at a time: two or more FILEs are a usage error."));
  const QCommandLineOption help = parser.addHelpOption();  // also --help-all
  const QCommandLineOption showVersion = parser.addVersionOption();
  const QCommandLineOption play(
      QStringLiteral("play"),
      QStringLiteral("Play FILE's folder as a flipbook from FILE on, as Go > Play does."));
  const QCommandLineOption rate(QStringLiteral("fps"),
                                QStringLiteral("Frames a second to play at, %1 to %2, a decimal "
                                               "number such as 23.976 (24 unless given).")
                                    .arg(kSlowestRate)
                                    .arg(kFastestRate),
                                QStringLiteral("N"));
  const QCommandLineOption cache(
      QStringLiteral("cache"),
      QStringLiteral("Memory for frames decoded for play, in MiB (a quarter of the machine's "
                     "memory, at most 8 GiB, unless given or set)."),
      QStringLiteral("MIB"));
  const QCommandLineOption compare(
      QStringLiteral("compare"),
      QStringLiteral("Compare FILE with B at start, as File > Compare With... does."),
      QStringLiteral("B"));
  parser.addOption(play);
  parser.addOption(rate);
  parser.addOption(cache);
  parser.addOption(compare);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("The picture to open at start."),
                               QStringLiteral("[FILE]"));

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
  const QString program = QStringLiteral("lumenor");
  CommandLine result;
  const auto usageError = [&](const QString& why) {
    result = {};
    result.action = CommandLine::Action::Exit;
    result.exitCode = kUsageError;
    result.output = program + QStringLiteral(": ") + why +
                    QStringLiteral("\nTry 'lumenor --help' for more information.\n");
    return result;
  };
  if (!parser.parse(arguments)) return usageError(parser.errorText());
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    result.action = CommandLine::Action::Exit;
    // Before the application exists Qt knows no program name; the installed name is the one to
    // show either way.
    result.output = parser.helpText().replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                                              QStringLiteral("Usage: lumenor"));
    return result;
  }
  if (parser.isSet(showVersion)) {
    result.action = CommandLine::Action::Exit;
    result.output = QStringLiteral("Lumenor ") + version + QLatin1Char('\n');
    return result;
  }
  const qsizetype count = parser.positionalArguments().size();
  if (count > 1) return usageError(QStringLiteral("one FILE at most, %1 were given").arg(count));
  if (count == 1) {
    const std::vector<QByteArray> positional =
        PositionalBytes(argc, argv,
                        {QStringLiteral("fps"), QStringLiteral("cache"), QStringLiteral("compare")});
    if (positional.size() == 1) result.file = positional.front();
  }
  result.play = parser.isSet(play);
  if (result.play && !result.file) return usageError(QStringLiteral("--play needs a FILE"));
  if (parser.isSet(compare)) {
    if (!result.file) return usageError(QStringLiteral("--compare needs a FILE"));
    result.compare = OptionBytes(argc, argv, "compare");
  }
  if (parser.isSet(rate)) {
    const auto fps = ParseRate(parser.value(rate));
    if (!fps || fps->num < kSlowestRate * fps->den || fps->num > kFastestRate * fps->den)
      return usageError(QStringLiteral("--fps takes %1 to %2 frames a second, not '%3'")
                            .arg(kSlowestRate)
                            .arg(kFastestRate)
                            .arg(parser.value(rate)));
    result.rate = fps;
  }
  if (parser.isSet(cache)) {
    bool number = false;
    const qulonglong mib = parser.value(cache).toULongLong(&number);
    if (!number || mib < kLeastCacheMiB)
      return usageError(QStringLiteral("--cache takes a number of MiB, %1 or more, not '%2'")
                            .arg(kLeastCacheMiB)
                            .arg(parser.value(cache)));
    result.cacheMiB = mib;
  }
  return result;
}

std::optional<FrameRate> ParseRate(const QString& text) {
  static const QRegularExpression kDecimal(QStringLiteral("^([0-9]{1,6})(?:\\.([0-9]{1,6}))?$"));
  const QRegularExpressionMatch match = kDecimal.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const QString fraction = match.captured(2);
  std::int64_t den = 1;
  for (qsizetype i = 0; i < fraction.size(); ++i) den *= 10;
  const FrameRate given{(match.captured(1) + fraction).toLongLong(), den};
  // The NTSC rates, as they are written to two or three decimals.
  for (const std::int64_t whole : {24, 30, 48, 60, 120}) {
    const FrameRate ntsc{whole * 1000, 1001};
    if (std::abs(given.Value() - ntsc.Value()) * 1000 <= (fraction.size() >= 3 ? 1 : 10) &&
        fraction.size() >= 2)
      return ntsc;
  }
  return given;
}

std::optional<QString> MissingDisplay(int argc, const char* const* argv) {
  if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
      !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    return std::nullopt;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "-display") == 0)
      return std::nullopt;
  return QStringLiteral(
      "lumenor: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
      "without a screen, run it as: xvfb-run -a lumenor");
}
