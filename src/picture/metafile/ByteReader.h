#pragma once

#include <QByteArrayView>
#include <QtEndian>
#include <cstdint>
#include <cstring>

namespace metafile {

// Little-endian reader over a byte span that can never read past its end. A read
// that does not fit returns zero and marks the reader as failed; the flag sticks,
// so a record handler can read everything it needs and check ok() once.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(QByteArrayView data) : m_data(data) {}

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] qsizetype pos() const { return m_pos; }
    [[nodiscard]] qsizetype size() const { return m_data.size(); }
    [[nodiscard]] qsizetype remaining() const { return m_data.size() - m_pos; }
    [[nodiscard]] bool has(qsizetype n) const { return n >= 0 && n <= remaining(); }
    [[nodiscard]] QByteArrayView data() const { return m_data; }

    void seek(qsizetype pos)
    {
        if (pos < 0 || pos > m_data.size()) {
            m_ok = false;
            m_pos = m_data.size();
        } else {
            m_pos = pos;
        }
    }
    void skip(qsizetype n) { seek(n >= 0 && has(n) ? m_pos + n : -1); }

    quint8 u8() { return read<quint8>(); }
    qint8 i8() { return read<qint8>(); }
    quint16 u16() { return read<quint16>(); }
    qint16 i16() { return read<qint16>(); }
    quint32 u32() { return read<quint32>(); }
    qint32 i32() { return read<qint32>(); }
    float f32()
    {
        const quint32 bits = u32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

    // A view of the next n bytes (empty and failed when they are not there).
    QByteArrayView bytes(qsizetype n)
    {
        if (!has(n)) {
            m_ok = false;
            m_pos = m_data.size();
            return {};
        }
        const QByteArrayView v = m_data.sliced(m_pos, n);
        m_pos += n;
        return v;
    }

    // A view of n bytes at an absolute offset, without moving; empty when out of range.
    [[nodiscard]] QByteArrayView at(qint64 offset, qint64 n) const
    {
        if (offset < 0 || n < 0 || offset > m_data.size() || n > m_data.size() - offset)
            return {};
        return m_data.sliced(offset, n);
    }

private:
    template <typename T> T read()
    {
        if (!has(qsizetype(sizeof(T)))) {
            m_ok = false;
            m_pos = m_data.size();
            return T(0);
        }
        T v = qFromLittleEndian<T>(m_data.data() + m_pos);
        m_pos += qsizetype(sizeof(T));
        return v;
    }

    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

} // namespace metafile
