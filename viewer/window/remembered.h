#pragma once

#include <QString>
#include <QVariant>

// What is remembered between runs, in $XDG_CONFIG_HOME/lumenor/lumenor.conf, and only once the
// user has chosen it: someone who changes nothing has no settings file.
namespace remembered {

inline const QString kStatusBar = QStringLiteral("view/statusBar");
inline const QString kFit = QStringLiteral("view/fitToWindow");
inline const QString kTimeline = QStringLiteral("view/timeline");
inline const QString kHeadsUp = QStringLiteral("view/headsUp");
inline const QString kCheckerboard = QStringLiteral("view/checkerboard");
inline const QString kCacheMiB = QStringLiteral("play/cacheMiB");
inline const QString kSixteenBit = QStringLiteral("pictures/sixteenBit");

QVariant Value(const QString& key, const QVariant& unset);
void Remember(const QString& key, const QVariant& value);

}  // namespace remembered
