// The program of the window face's tests: one QApplication for all of them, on Qt's offscreen
// platform unless QT_QPA_PLATFORM says otherwise, so no display is needed. The programs the
// tests start inherit the leak checker's suppressions of Qt's libraries.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QByteArray leak_options = qgetenv("LSAN_OPTIONS");
  if (!leak_options.isEmpty()) leak_options += ':';
  qputenv("LSAN_OPTIONS", leak_options + "suppressions=" VELKA_LSAN_SUPPRESSIONS);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
