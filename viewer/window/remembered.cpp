#include "remembered.h"

#include <QSettings>

namespace remembered {

namespace {

QSettings File() { return QSettings(QStringLiteral("lumenor"), QStringLiteral("lumenor")); }

}  // namespace

QVariant Value(const QString& key, const QVariant& unset) { return File().value(key, unset); }

void Remember(const QString& key, const QVariant& value) { File().setValue(key, value); }

}  // namespace remembered
