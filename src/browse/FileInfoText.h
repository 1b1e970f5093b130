#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The texts of the "File's Information" frame and the path rule shared by every
// command that names a file.

// A folder, a separator unless the folder already ends in one (a volume root such
// as "/"), then the file name.
[[nodiscard]] QString joinPath(const QString &folder, const QString &fileName);

// The length in kilobytes, rounded half to even, then "KB" ("2KB"); a length that
// rounds to no kilobytes is given in bytes instead ("345bytes").
[[nodiscard]] QString sizeText(qint64 length);

// The kilobyte text alone, before any change to bytes ("0KB" for small files).
[[nodiscard]] QString kilobyteText(qint64 length);

// The locale's short date, a space and its long time of day (without a time zone);
// the time is left out at exactly midnight.
[[nodiscard]] QString dateText(const QDateTime &when, const QLocale &locale = QLocale::system());

// "640 X 480", each number the shortest decimal text of a single-precision value.
[[nodiscard]] QString pictureSizeText(float width, float height);
[[nodiscard]] QString shortestText(float value);
