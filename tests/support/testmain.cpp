// Test main for every test executable: a QApplication on the offscreen platform unless the
// environment chooses another.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("GebotsfalkePlus"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
