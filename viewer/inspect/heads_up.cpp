#include "heads_up.h"

#include <QLocale>
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
  // Light text on a dark, half-transparent plate: readable over any picture.
  setStyleSheet(QStringLiteral(
      "QLabel { color: #f0f0f0; background-color: rgba(0, 0, 0, 150); border-radius: 4px; }"));
  hide();
}

void HeadsUpDisplay::Show(const HeadsUpFacts& facts) {
  const QString text = HeadsUpText(facts);
  if (text != this->text()) {
    setText(text);
    adjustSize();
  }
  show();
}
