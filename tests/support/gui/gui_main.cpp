#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

// Every test starts as a first run does: no settings.
class ForgetSettings : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    QFile::remove(QSettings(QStringLiteral("lumenor"), QStringLiteral("lumenor")).fileName());
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings in a folder of this run's own: never the user's, nor another run's.
  const QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new ForgetSettings);
  return RUN_ALL_TESTS();
}
