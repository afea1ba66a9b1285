#include "heads_up.h"

#include <QPainter>
#include <QStringList>

QString HeadsUpText(const HeadsUpFacts& facts) {
  QStringList lines = {
      facts.fileName,
      QStringLiteral("frame %1 of %2-%3").arg(facts.number).arg(facts.first).arg(facts.last)};
  if (facts.playing) {
    QString target = facts.rate;
    if (facts.direction < 0) target += QStringLiteral(" backwards");
    if (facts.speed > 1) target += QStringLiteral(" x%1").arg(facts.speed);
    lines << QStringLiteral("%1: %2 shown, %3 dropped")
                 .arg(target)
                 .arg(QString::number(facts.shownRate, 'f', 1))
                 .arg(facts.dropped);
  }
  if (facts.missing) lines << QStringLiteral("missing");
  if (!facts.incomplete.isEmpty()) lines << facts.incomplete;
  return lines.join(QLatin1Char('\n'));
}

HeadsUpDisplay::HeadsUpDisplay(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("headsUpDisplay"));
  setAccessibleName(QStringLiteral("Heads-Up Display"));
  setTextFormat(Qt::PlainText);
  setAttribute(Qt::WA_TransparentForMouseEvents);  // the drag goes on underneath
  setMargin(6);
  hide();
}

void HeadsUpDisplay::Show(const HeadsUpFacts& facts) {
  const QString text = HeadsUpText(facts);
  if (text != this->text()) {
    setText(text);
    // What assistive technology reads: the label is named for what it is, its text is this.
    setAccessibleDescription(text);
    adjustSize();
  }
  show();
}

void HeadsUpDisplay::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 0, 0, 160));
  painter.drawRoundedRect(rect(), 4, 4);
  painter.setPen(QColor(0xF0, 0xF0, 0xF0));
  painter.drawText(contentsRect().adjusted(margin(), margin(), -margin(), -margin()),
                   Qt::AlignLeft | Qt::AlignTop, text());
}
