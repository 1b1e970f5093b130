#pragma once

#include <QByteArrayView>

namespace metafile {

enum class MetafileKind { None, PlaceableWmf, StandardWmf, Emf };

// Decides from the first bytes of a file whether it is a Windows metafile and of
// which kind. The file name carries no weight. 88 bytes are enough for any kind.
[[nodiscard]] MetafileKind sniffMetafile(QByteArrayView head);
[[nodiscard]] inline bool looksLikeMetafile(QByteArrayView head)
{
    return sniffMetafile(head) != MetafileKind::None;
}

} // namespace metafile
