#include <QApplication>

#include "form1.h"
#include "qt_dialogs.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lumenor"));
  QApplication::setDesktopFileName(QStringLiteral("lumenor"));
  QtDialogs dialogs;
  Form1 form(dialogs);
  form.show();
  return QApplication::exec();
}
