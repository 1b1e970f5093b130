#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace picture {

// A read-only view of a file's bytes whose readers never step outside it. Offsets
// are 64-bit so that offset + length arithmetic taken from a header cannot wrap.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(QByteArrayView view)
        : m_data(reinterpret_cast<const uchar *>(view.data())), m_size(view.size())
    {
    }

    [[nodiscard]] qint64 size() const { return m_size; }
    [[nodiscard]] const uchar *data() const { return m_data; }
    [[nodiscard]] bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }
    // Bytes from offset on, at most length of them (clipped to the end).
    [[nodiscard]] Bytes mid(qint64 offset, qint64 length = -1) const
    {
        Bytes out;
        if (offset < 0 || offset > m_size)
            return out;
        const qint64 rest = m_size - offset;
        out.m_data = m_data + offset;
        out.m_size = (length < 0 || length > rest) ? rest : length;
        return out;
    }
    [[nodiscard]] QByteArrayView view() const
    {
        return {reinterpret_cast<const char *>(m_data), static_cast<qsizetype>(m_size)};
    }

    // The readers give 0 outside the bytes; callers check has() where it matters.
    [[nodiscard]] quint8 u8(qint64 at) const { return has(at, 1) ? m_data[at] : 0; }
    [[nodiscard]] quint16 u16le(qint64 at) const
    {
        return has(at, 2) ? quint16(m_data[at] | (m_data[at + 1] << 8)) : 0;
    }
    [[nodiscard]] quint16 u16be(qint64 at) const
    {
        return has(at, 2) ? quint16((m_data[at] << 8) | m_data[at + 1]) : 0;
    }
    [[nodiscard]] quint32 u32le(qint64 at) const
    {
        return has(at, 4) ? quint32(m_data[at]) | (quint32(m_data[at + 1]) << 8) |
                                (quint32(m_data[at + 2]) << 16) | (quint32(m_data[at + 3]) << 24)
                          : 0;
    }
    [[nodiscard]] quint32 u32be(qint64 at) const
    {
        return has(at, 4) ? (quint32(m_data[at]) << 24) | (quint32(m_data[at + 1]) << 16) |
                                (quint32(m_data[at + 2]) << 8) | quint32(m_data[at + 3])
                          : 0;
    }
    [[nodiscard]] qint32 i32le(qint64 at) const { return static_cast<qint32>(u32le(at)); }

private:
    const uchar *m_data = nullptr;
    qint64 m_size = 0;
};

} // namespace picture
