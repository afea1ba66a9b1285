#pragma once

#include <QList>
#include <QPair>
#include <QString>

struct ShownPicture;

// File > Properties: the file's name, folder, size and time, then what its header says.
QList<QPair<QString, QString>> PropertiesOf(const ShownPicture& picture);
