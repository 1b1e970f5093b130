#include "EmbeddedEmf.h"

#include "ByteReader.h"

namespace metafile {

namespace {

constexpr quint16 kMetaEscape = 0x0626;
constexpr quint16 kMetaEof = 0x0000;
constexpr quint16 kEnhancedMetafileEscape = 0x000F;
constexpr quint32 kCommentIdentifier = 0x43464D57; // "WMFC"
constexpr quint32 kCommentType = 1;
constexpr qsizetype kStandardHeaderBytes = 18;
constexpr qsizetype kChunkFieldsBytes = 34; // from the identifier to the chunk

quint16 xorOfWords(QByteArrayView bytes)
{
    quint16 x = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        x ^= qFromLittleEndian<quint16>(bytes.data() + i);
    return x;
}

quint16 sumOfWords(QByteArrayView bytes)
{
    quint16 s = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        s = quint16(s + qFromLittleEndian<quint16>(bytes.data() + i));
    return s;
}

} // namespace

std::optional<EmbeddedEmf::Chunk> EmbeddedEmf::readChunk(QByteArrayView escapeParams)
{
    ByteReader r(escapeParams);
    if (r.u16() != kEnhancedMetafileEscape)
        return std::nullopt;
    const quint16 byteCount = r.u16();
    if (r.u32() != kCommentIdentifier || !r.ok())
        return std::nullopt;
    Chunk c;
    const quint32 commentType = r.u32();
    r.u32(); // version: writers differ, nothing depends on it
    c.checksum = r.u16();
    r.u32(); // flags
    c.recordCount = r.u32();
    const quint32 chunkSize = r.u32();
    c.remaining = r.u32();
    c.totalSize = r.u32();
    if (!r.ok() || commentType != kCommentType || chunkSize > kMaxChunk ||
        byteCount != kChunkFieldsBytes + chunkSize || !r.has(chunkSize)) {
        c.wellFormed = false;
        return c;
    }
    c.data = r.bytes(chunkSize);
    return c;
}

bool EmbeddedEmf::checksumMatches(quint16 checksum, QByteArrayView records, QByteArrayView emf)
{
    if (sumOfWords(records) == 0)
        return true;
    const quint16 x = xorOfWords(emf);
    return checksum == quint16(~x) || checksum == quint16(-x);
}

std::optional<QByteArray> EmbeddedEmf::extract(QByteArrayView records)
{
    QByteArray emf;
    quint32 expectedChunks = 0;
    quint32 totalSize = 0;
    quint32 chunksSeen = 0;
    quint16 checksum = 0;
    bool complete = false;
    qsizetype pos = kStandardHeaderBytes;
    qsizetype end = records.size();
    while (records.size() - pos >= 6) {
        ByteReader head(records.sliced(pos, 6));
        const quint32 words = head.u32();
        const quint16 function = head.u16();
        if (words < 3 || qint64(words) * 2 > records.size() - pos)
            return std::nullopt;
        const qsizetype recordEnd = pos + qsizetype(words) * 2;
        std::optional<Chunk> chunk;
        if (function == kMetaEscape)
            chunk = readChunk(records.sliced(pos + 6, recordEnd - pos - 6));
        if (chunk) {
            if (!chunk->wellFormed || complete)
                return std::nullopt;
            if (chunksSeen == 0) {
                // The first chunk sets the sizes; check them before reserving memory.
                if (chunk->totalSize == 0 || chunk->totalSize > kMaxBytes ||
                    qint64(chunk->totalSize) > records.size() || chunk->recordCount == 0 ||
                    chunk->recordCount > chunk->totalSize)
                    return std::nullopt;
                expectedChunks = chunk->recordCount;
                totalSize = chunk->totalSize;
                checksum = chunk->checksum;
                emf.reserve(qsizetype(totalSize));
            } else if (chunk->recordCount != expectedChunks || chunk->totalSize != totalSize) {
                return std::nullopt;
            }
            const quint32 done = quint32(emf.size());
            if (quint64(done) + quint64(chunk->data.size()) + chunk->remaining != totalSize)
                return std::nullopt;
            emf.append(chunk->data.data(), chunk->data.size());
            ++chunksSeen;
            complete = chunk->remaining == 0;
            if (complete && chunksSeen != expectedChunks)
                return std::nullopt;
        } else if (chunksSeen > 0 && !complete) {
            return std::nullopt; // the chunks must follow one another
        }
        pos = recordEnd;
        if (function == kMetaEof) {
            end = pos;
            break;
        }
    }
    if (!complete)
        return std::nullopt;
    if (!checksumMatches(checksum, records.first(end), emf))
        return std::nullopt;
    return emf;
}

} // namespace metafile
