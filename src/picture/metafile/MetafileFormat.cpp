#include "MetafileFormat.h"

#include "ByteReader.h"

namespace metafile {

namespace {

bool isStandardWmfHeader(QByteArrayView head)
{
    ByteReader r(head);
    const quint16 type = r.u16();
    const quint16 headerWords = r.u16();
    const quint16 version = r.u16();
    return r.ok() && (type == 1 || type == 2) && headerWords == 9 &&
           (version == 0x0300 || version == 0x0100);
}

} // namespace

MetafileKind sniffMetafile(QByteArrayView head)
{
    ByteReader r(head);
    const quint32 first = r.u32();
    if (!r.ok())
        return MetafileKind::None;
    if (first == 0x9AC6CDD7u)
        return MetafileKind::PlaceableWmf;
    if (first == 1) {
        ByteReader e(head);
        e.seek(40);
        if (e.u32() == 0x464D4520u)
            return MetafileKind::Emf;
    }
    if (isStandardWmfHeader(head))
        return MetafileKind::StandardWmf;
    return MetafileKind::None;
}

} // namespace metafile
