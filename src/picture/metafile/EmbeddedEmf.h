#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace metafile {

// Office programs write a WMF whose real drawing is an EMF, cut into chunks that
// ride in META_ESCAPE comment records ("WMFC"); the WMF records around them are a
// rough stand-in for older readers. This puts the EMF back together.
//
// The chunks are untrusted: they must come in order, agree on the record count
// and the total size, add up exactly, and carry a checksum that matches. Any
// doubt gives nullopt, and the WMF records are played as they are.
class EmbeddedEmf {
public:
    // Largest embedded EMF accepted; never more than the WMF that carries it.
    static constexpr quint32 kMaxBytes = 64u * 1024 * 1024;
    // Largest chunk one record may carry.
    static constexpr quint32 kMaxChunk = 0x2000;

    // records: the WMF from its standard header on (no placeable header).
    [[nodiscard]] static std::optional<QByteArray> extract(QByteArrayView records);

    // One chunk record's parameters, as a writer lays them out after the escape
    // function: the byte count, the comment fields, then the chunk.
    struct Chunk {
        quint16 checksum = 0;
        quint32 recordCount = 0;
        quint32 remaining = 0;
        quint32 totalSize = 0;
        QByteArrayView data;
        bool wellFormed = true; // false: an EMF chunk whose fields contradict each other
    };
    // Reads the parameters of a META_ESCAPE record; nullopt when it is no EMF chunk.
    [[nodiscard]] static std::optional<Chunk> readChunk(QByteArrayView escapeParams);

    // A checksum is accepted in any of the forms writers use: the one that makes
    // the 16-bit sum of all the metafile's words zero, or the complement (one's or
    // two's) of the XOR of the EMF's words.
    [[nodiscard]] static bool checksumMatches(quint16 checksum, QByteArrayView records,
                                              QByteArrayView emf);
};

} // namespace metafile
