#pragma once

// A window on a scratch folder, for the tests of what it says and gives out of a picture.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <string>

#include "fake_dialogs.h"
#include "form1.h"
#include "picture1.h"
#include "scratch_dir.h"
#include "sgi_builder.h"

class PictureTest : public testing::Test {
 protected:
  void SetUp() override {
    form_.show();
    QCoreApplication::processEvents();
  }
  QByteArray Write(const std::string& name, const sgi::Bytes& bytes) {
    return QByteArray(dir_.Write(name, bytes).c_str());
  }
  QAction& Item(const char* name) { return *form_.findChild<QAction*>(name); }
  // Copy and Export encode on a thread of their own: until they are done, neither can be chosen.
  void Trigger(const char* name) {
    Item(name).trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Item("mnuCopy").isEnabled(); }, 10000));
    QCoreApplication::processEvents();
  }
  // The pointer at the centre of picture pixel (x, y), at 100 % with the canvas at (0, 0).
  void PointAt(int x, int y) {
    const QPointF at = QPointF(x + 0.5, y + 0.5) / form_.Canvas().devicePixelRatioF();
    QMouseEvent move(QEvent::MouseMove, at, form_.Canvas().mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form_.Canvas(), &move);
  }

  ScratchDir dir_;
  FakeDialogs dialogs_;
  Form1 form_{dialogs_};
};

// 1234567 as "1,234,567".
inline QString Grouped(std::size_t value) {
  QString digits = QString::number(value);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, ',');
  return digits;
}

// The value of channel c at picture pixel (x, y) (y from the top) of planes.
inline int Stored(const sgi::Planes& planes, unsigned c, int x, int y) {
  return planes.at(c, planes.height - 1 - static_cast<unsigned>(y), static_cast<unsigned>(x));
}
