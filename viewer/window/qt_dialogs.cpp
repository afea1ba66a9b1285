#include "qt_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <algorithm>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {

struct FilterChoice {
  QString label;
  QStringList patterns;
};

// "RGB Images (*.bw, *.rgb)|*.bw; *.rgb|All Files (*)|*" -> two labelled choices. "*.*" means
// every file, as such a label promises, also names without a dot.
QList<FilterChoice> ParseFilter(const QString& filter) {
  QList<FilterChoice> choices;
  const QStringList parts = filter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    FilterChoice choice{parts[i], {}};
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString trimmed = pattern.trimmed();
      choice.patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    choices << choice;
  }
  return choices;
}

}  // namespace

std::optional<QString> QtDialogs::ShowOpen(QWidget* parent, const QString& title,
                                           const QString& filter, const QString& initialName) {
  const QList<FilterChoice> choices = ParseFilter(filter);
  QStringList labels;
  for (const auto& choice : choices) labels << choice.label;

  QFileDialog dialog(parent, title);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly);  // the viewer never creates, renames or deletes files
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(labels);
  if (!initialName.isEmpty()) dialog.selectFile(initialName);

  // Qt would read the patterns out of the labels ("*.bw," with its comma); match with the
  // patterns that go with each label instead, ignoring case.
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  const auto usePatterns = [&dialog, &choices, &labels](const QString& label) {
    const qsizetype index = labels.indexOf(label);
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (index < 0 || model == nullptr) return;
    model->setNameFilters(choices[index].patterns);
  };
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, usePatterns);
  usePatterns(dialog.selectedNameFilter());

  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::ShowSave(QWidget* parent, const QString& title,
                                           const QString& filter, const QString& initialPath) {
  QFileDialog dialog(parent, title);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before it replaces a file
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(QStringLiteral("png"));
  dialog.selectFile(initialPath);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

void QtDialogs::ShowFacts(QWidget* parent, const QString& title,
                          const QList<QPair<QString, QString>>& lines) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* form = new QFormLayout;
  for (const auto& [label, value] : lines) {
    auto* shown = new QLabel(value);
    shown->setTextFormat(Qt::PlainText);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    form->addRow(label + QLatin1Char(':'), shown);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(buttons);
  dialog.exec();
}

void QtDialogs::MsgBox(QWidget* parent, const QString& title, const QString& text, Icon icon) {
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::Information, title,
                  shown, QMessageBox::Ok, parent);
  box.exec();
}

void QtDialogs::Beep() { QApplication::beep(); }

std::optional<Preferences> QtDialogs::ShowPreferences(QWidget* parent,
                                                      const Preferences& current) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Preferences"));
  auto* sixteenBit = new QCheckBox(QStringLiteral("Show pictures of 16 bits per channel"));
  sixteenBit->setChecked(current.sixteenBit);
  auto* cache = new QSpinBox;
  constexpr int kLeastMiB = 16, kMostMiB = 1 << 20;
  cache->setRange(kLeastMiB, kMostMiB);
  cache->setSuffix(QStringLiteral(" MiB"));
  cache->setValue(static_cast<int>(std::clamp<std::uint64_t>(current.cacheMiB, kLeastMiB, kMostMiB)));
  auto* form = new QFormLayout;
  form->addRow(sixteenBit);
  form->addRow(QStringLiteral("Memory for frames played:"), cache);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return Preferences{sixteenBit->isChecked(), static_cast<std::uint64_t>(cache->value())};
}
