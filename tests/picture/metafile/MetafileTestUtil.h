#pragma once

#include "picture/metafile/MetafilePicture.h"

#include <QFontInfo>
#include <QImage>
#include <QTest>

namespace metafile::test {

inline std::shared_ptr<const MetafilePicture> loadOrFail(const QByteArray &bytes)
{
    QString why;
    auto pic = MetafilePicture::load(bytes, &why);
    if (!pic)
        qWarning("load failed: %s", qPrintable(why));
    return pic;
}

inline QImage renderNatural(const QByteArray &bytes)
{
    auto pic = loadOrFail(bytes);
    return pic ? pic->toImage() : QImage();
}

// Bounding box of everything that is not (almost) white.
inline QRect inkBounds(const QImage &img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 200)
                box |= QRect(x, y, 1, 1);
    return box;
}

inline bool near(QRgb a, QRgb b, int tolerance = 40)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Whether the font is there under its own name, not a stand-in's.
inline bool installed(const QString &family)
{
    return QFontInfo(QFont(family)).family().startsWith(family);
}

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kBlack = 0xFF000000;

} // namespace metafile::test

#define QCOMPARE_COLOR(img, x, y, expected)                                                        \
    do {                                                                                           \
        const QRgb got_ = (img).pixel((x), (y));                                                   \
        if (!metafile::test::near(got_, (expected)))                                               \
            QFAIL(qPrintable(QStringLiteral("pixel (%1,%2) is #%3, expected #%4")                  \
                                 .arg(x)                                                           \
                                 .arg(y)                                                           \
                                 .arg(got_ & 0xFFFFFF, 6, 16, QLatin1Char('0'))                    \
                                 .arg((expected)&0xFFFFFF, 6, 16, QLatin1Char('0'))));             \
    } while (0)
