#include "FileInfoText.h"

#include <array>
#include <charconv>

QString joinPath(const QString &folder, const QString &fileName)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + fileName;
    return folder + QLatin1Char('/') + fileName;
}

QString kilobyteText(qint64 length)
{
    qint64 kilobytes = length / 1024;
    const qint64 rest = length % 1024;
    if (rest > 512 || (rest == 512 && kilobytes % 2 == 1))
        ++kilobytes;
    return QString::number(kilobytes) + QStringLiteral("KB");
}

QString sizeText(qint64 length)
{
    QString kilobytes = kilobyteText(length);
    if (kilobytes == QLatin1String("0KB"))
        return QString::number(length) + QStringLiteral("bytes");
    return kilobytes;
}

namespace {

// A long time format without its time-zone fields, which a file's time of day
// does not need ("10:15:30 AM", not "10:15:30 AM Central European Time").
QString timeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result.append(c);
    }
    return result.simplified();
}

} // namespace

QString dateText(const QDateTime &when, const QLocale &locale)
{
    QString date = locale.toString(when.date(), QLocale::ShortFormat);
    // Midnight to the second: file systems keep fractions that the text never shows.
    const QTime time = when.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + QLatin1Char(' ') + locale.toString(when.time(), timeFormatWithoutZone(locale));
}

QString shortestText(float value)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

QString pictureSizeText(float width, float height)
{
    return shortestText(width) + QStringLiteral(" X ") + shortestText(height);
}
