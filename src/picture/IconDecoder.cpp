#include "IconDecoder.h"

#include "BmpDecoder.h"
#include "Limits.h"
#include "PngDecoder.h"

#include <algorithm>

namespace picture {
namespace {

constexpr qint64 kDirectoryStart = 6;
constexpr qint64 kEntrySize = 16;

bool peek(Bytes data, IconEntry &e)
{
    e.png = isPng(data);
    if (e.png) {
        const std::optional<PngSummary> png = peekPng(data);
        if (!png)
            return false;
        e.width = png->width;
        e.height = png->height;
        e.bitsPerPixel = png->bitsPerPixel;
        return true;
    }
    const std::optional<DibSummary> dib = peekIconDib(data);
    if (!dib)
        return false;
    e.width = dib->width;
    e.height = dib->height;
    e.bitsPerPixel = dib->bitsPerPixel;
    return true;
}

Decoded decodeEntry(Bytes data, const IconEntry &e)
{
    return e.png ? decodePng(data) : decodeIconDib(data);
}

} // namespace

QList<IconEntry> rankIconEntries(Bytes file, QString *why)
{
    QList<IconEntry> entries;
    auto fail = [&](const QString &reason) {
        if (why)
            *why = reason;
        return QList<IconEntry>();
    };
    if (!file.has(0, kDirectoryStart))
        return fail(QStringLiteral("icon header cut short"));
    const qint64 count = file.u16le(4);
    if (count == 0)
        return fail(QStringLiteral("icon file with no images"));
    if (!file.has(kDirectoryStart, count * kEntrySize))
        return fail(QStringLiteral("icon directory cut short"));

    for (qint64 i = 0; i < count; ++i) {
        const qint64 at = kDirectoryStart + i * kEntrySize;
        IconEntry e;
        e.offset = file.u32le(at + 12);
        const qint64 declared = file.u32le(at + 8);
        if (e.offset < kDirectoryStart + count * kEntrySize || e.offset >= file.size())
            continue;
        // A length that runs past the end is taken as a cut-short file, not a lie.
        e.available = file.size() - e.offset;
        e.length = qMin(declared, e.available);
        if (!peek(file.mid(e.offset, e.length), e) && !peek(file.mid(e.offset), e))
            continue;
        entries.append(e);
    }
    if (entries.isEmpty())
        return fail(QStringLiteral("no readable image in the icon directory"));
    std::stable_sort(entries.begin(), entries.end(), [](const IconEntry &a, const IconEntry &b) {
        const qint64 areaA = a.width * a.height;
        const qint64 areaB = b.width * b.height;
        if (areaA != areaB)
            return areaA > areaB;
        return a.bitsPerPixel > b.bitsPerPixel;
    });
    return entries;
}

Decoded decodeIcon(Bytes file)
{
    QString why;
    const QList<IconEntry> entries = rankIconEntries(file, &why);
    if (entries.isEmpty())
        return Decoded::fail(why);
    // The best entry can be the damaged one; a smaller good one is better than nothing.
    Decoded firstFailure;
    for (const IconEntry &e : entries) {
        Decoded d = decodeEntry(file.mid(e.offset, e.length), e);
        if ((!d.ok() || !d.warning.isEmpty()) && e.available > e.length) {
            // Some writers get the entry's length wrong; its data often goes on.
            Decoded longer = decodeEntry(file.mid(e.offset), e);
            // Every pixel is there, so it is no damage.
            if (longer.ok() && longer.warning.isEmpty())
                return longer;
        }
        if (d.ok())
            return d;
        if (firstFailure.failure.isEmpty())
            firstFailure = std::move(d);
    }
    return firstFailure;
}

} // namespace picture
