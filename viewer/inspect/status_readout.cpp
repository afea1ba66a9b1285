#include "status_readout.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

#include "load_failure.h"
#include "picture_facts.h"
#include "stored_image.h"

StatusReadout::StatusReadout(QStatusBar& bar)
    : facts_(new QLabel(&bar)), values_(new QLabel(&bar)) {
  facts_->setObjectName(QStringLiteral("statusFacts"));
  values_->setObjectName(QStringLiteral("statusValues"));
  bar.addWidget(facts_, 1);
  bar.addPermanentWidget(values_);
}

StatusReadout::~StatusReadout() = default;

void StatusReadout::Show(const std::optional<ShownPicture>& picture, int position, int count,
                         lumenor::Zoom zoom) {
  const bool samePicture =
      picture && picture_ && picture->path == picture_->path && picture->stamp == picture_->stamp;
  if (!samePicture) {
    reader_.reset();
    unreadable_ = false;
    values_->clear();
  }
  picture_ = picture;
  factParts_.clear();
  if (picture_) {
    factParts_ << QFileInfo(QFile::decodeName(picture_->path)).fileName();
    if (position >= 0 && count > 0)
      factParts_ << QStringLiteral("%1 of %2").arg(position + 1).arg(count);
    factParts_ << QStringLiteral("%1 x %2").arg(picture_->header.width).arg(picture_->header.height);
    if (picture_->EndsEarly())
      factParts_ << QString::fromStdString(IncompleteText(picture_->completeness.completeRows,
                                                          picture_->completeness.rows));
    factParts_ << QString::fromStdString(ZoomText(zoom));
  }
  ShowFacts();
}

void StatusReadout::SetNote(const QString& note) {
  if (note == note_) return;
  note_ = note;
  ShowFacts();
}

// The note comes right after the file's name, where a narrow window does not cut it off.
void StatusReadout::ShowFacts() {
  QStringList parts = factParts_;
  if (!parts.isEmpty() && !note_.isEmpty()) parts.insert(1, note_);
  facts_->setText(parts.join(QStringLiteral("   ")));
}

void StatusReadout::PointAt(int x, int y) {
  if (!picture_ || x < 0 || y < 0 || x >= picture_->header.width || y >= picture_->header.height)
    return PointerLeft();
  const QString where = QStringLiteral("%1, %2: ").arg(x).arg(y);
  if (!(FileStamp::Of(picture_->path) == picture_->stamp)) {
    reader_.reset();
    return values_->setText(where + QStringLiteral("file changed"));
  }
  try {
    if (!reader_ && !unreadable_)
      reader_ = std::make_unique<lumenor::RowReader>(
          std::make_unique<lumenor::FileSource>(picture_->path.toStdString()),
          picture_->loadedCleanly ? lumenor::RowReader::Rows::kLoadedWithoutError
                                  : lumenor::RowReader::Rows::kCheckInOrder,
          options_);
  } catch (const std::exception&) {
    unreadable_ = true;
  }
  if (!reader_) return values_->setText(where + QStringLiteral("cannot be read"));
  try {
    const auto row = reader_->Row(y);
    const unsigned channels = picture_->header.channels;
    const unsigned bytes = reader_->Header().bytesPerChannel;
    values_->setText(QString::fromStdString(PixelValuesText(
        x, y, channels, row.data() + static_cast<std::size_t>(x) * channels * bytes, bytes)));
  } catch (const std::exception&) {
    values_->setText(where + QStringLiteral("cannot be read"));
  }
}

void StatusReadout::PointerLeft() { values_->clear(); }

QString StatusReadout::Text() const { return facts_->text(); }
QString StatusReadout::ValueText() const { return values_->text(); }
