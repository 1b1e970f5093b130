// libFuzzer entry for the metafile player. Built twice: FUZZ_KIND picks the
// format a target keeps (other inputs are dropped so each target stays on its
// own format). Every input that loads is also drawn, small, and at a zoom
// far beyond the screen through a clip.
#include "picture/metafile/MetafileFormat.h"
#include "picture/metafile/MetafilePicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const metafile::MetafileKind kind = metafile::sniffMetafile(bytes);
#if FUZZ_KIND == 1
    if (kind != metafile::MetafileKind::PlaceableWmf && kind != metafile::MetafileKind::StandardWmf)
        return -1;
#else
    if (kind != metafile::MetafileKind::Emf)
        return -1;
#endif
    auto pic = MetafilePicture::load(bytes);
    if (!pic)
        return 0;
    const QSize natural = pic->naturalSize();
    const QSize small = natural.scaled(96, 96, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    (void)pic->render(small);
    QImage canvas(32, 32, QImage::Format_RGB32);
    QPainter p(&canvas);
    p.setClipRect(0, 0, 32, 32);
    pic->draw(p, QRectF(-4000, -4000, 20000, 20000));
    return 0;
}
