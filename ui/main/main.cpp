// wavorax: the desktop program.
#include <QApplication>

#include "ui/main/Application.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Wavorax"));
  QGuiApplication::setDesktopFileName(QStringLiteral("example.quelbrook.Wavorax"));
  return wavorax::ui::RunProgram({});
}
