#include "status_readout.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

#include "load_failure.h"
#include "picture_facts.h"
#include "stored_image.h"

lumenor::ImageHeader ShownPicture::HeaderOf(const QByteArray& path) {
  try {
    lumenor::FileSource file(path.toStdString());
    return lumenor::ReadHeader(file);
  } catch (const std::exception&) {
    return {};
  }
}

ShownPicture ShownPicture::Of(const QByteArray& path, bool loadedCleanly,
                              const lumenor::DecodeOptions& options) {
  return {path, HeaderOf(path), FileStamp::Of(path), loadedCleanly,
          lumenor::CheckFileCompleteness(path.toStdString(), options)};
}

StatusReadout::StatusReadout(QStatusBar& bar)
    : facts_(new QLabel(&bar)), values_(new QLabel(&bar)) {
  facts_->setObjectName(QStringLiteral("statusFacts"));
  values_->setObjectName(QStringLiteral("statusValues"));
  bar.addWidget(facts_, 1);
  bar.addPermanentWidget(values_);
}

StatusReadout::~StatusReadout() = default;

PixelReader::PixelReader() = default;
PixelReader::~PixelReader() = default;

void PixelReader::SetPicture(const std::optional<ShownPicture>& picture,
                             const lumenor::DecodeOptions& options) {
  const bool samePicture =
      picture && picture_ && picture->path == picture_->path && picture->stamp == picture_->stamp;
  if (!samePicture || !(options.sixteenBit == options_.sixteenBit)) {
    reader_.reset();
    unreadable_ = false;
  }
  picture_ = picture;
  options_ = options;
}

bool PixelReader::Covers(int x, int y) const {
  return picture_ && x >= 0 && y >= 0 && x < picture_->header.width && y < picture_->header.height;
}

QString PixelReader::ValuesAt(int x, int y) {
  if (!(FileStamp::Of(picture_->path) == picture_->stamp)) {
    reader_.reset();
    return QStringLiteral("file changed");
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
  if (!reader_) return QStringLiteral("cannot be read");
  try {
    const auto row = reader_->Row(y);
    const unsigned channels = picture_->header.channels;
    const unsigned bytes = reader_->Header().bytesPerChannel;
    return QString::fromStdString(ChannelValuesText(
        channels, row.data() + static_cast<std::size_t>(x) * channels * bytes, bytes));
  } catch (const std::exception&) {
    return QStringLiteral("cannot be read");
  }
}

void StatusReadout::Show(const std::optional<ShownPicture>& picture, int position, int count,
                         lumenor::Zoom zoom) {
  const bool samePicture = picture && a_.Picture() && picture->path == a_.Picture()->path &&
                           picture->stamp == a_.Picture()->stamp;
  if (!samePicture) values_->clear();
  a_.SetPicture(picture, options_);
  factParts_.clear();
  if (const auto& shown = a_.Picture()) {
    factParts_ << QFileInfo(QFile::decodeName(shown->path)).fileName();
    if (position >= 0 && count > 0)
      factParts_ << QStringLiteral("%1 of %2").arg(position + 1).arg(count);
    factParts_ << QStringLiteral("%1 x %2").arg(shown->header.width).arg(shown->header.height);
    if (shown->EndsEarly())
      factParts_ << QString::fromStdString(
          IncompleteText(shown->completeness.completeRows, shown->completeness.rows));
    QString zoomText = QString::fromStdString(ZoomText(zoom));
    if (!channel_.isEmpty()) zoomText += QStringLiteral("  ") + channel_;
    factParts_ << zoomText;
  }
  ShowFacts();
}

void StatusReadout::SetChannel(const QString& channel) { channel_ = channel; }

void StatusReadout::SetCompared(const std::optional<ShownPicture>* b) {
  if (b == nullptr) {
    b_.reset();
    return;
  }
  if (!b_) b_.emplace();
  b_->SetPicture(*b, options_);
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

void StatusReadout::PointAt(int x, int y, std::optional<std::pair<int, int>> b,
                            std::optional<lumenor::Pixel> diff) {
  if (!a_.Covers(x, y)) return PointerLeft();
  QString text = QStringLiteral("%1, %2: ").arg(x).arg(y);
  if (!b_) return values_->setText(text + a_.ValuesAt(x, y));
  text += QStringLiteral("A ") + a_.ValuesAt(x, y) + QStringLiteral(" | B ") +
          (b && b_->Covers(b->first, b->second) ? b_->ValuesAt(b->first, b->second)
                                                : QStringLiteral("none"));
  if (diff)
    text += QStringLiteral(" diff R %1 G %2 B %3")
                .arg(lumenor::RedOf(*diff))
                .arg(lumenor::GreenOf(*diff))
                .arg(lumenor::BlueOf(*diff));
  values_->setText(text);
}

void StatusReadout::PointerLeft() { values_->clear(); }

QString StatusReadout::Text() const { return facts_->text(); }
QString StatusReadout::ValueText() const { return values_->text(); }
