#include "JpegBitReader.h"

namespace picture {

bool JpegHuffmanTable::build(const quint8 counts[16], const quint8 *symbols, int symbolCount,
                             bool dc)
{
    std::array<quint8, 257> lengths{};
    int total = 0;
    for (int l = 1; l <= 16; ++l) {
        if (total + counts[l - 1] > 256)
            return false;
        for (int i = 0; i < counts[l - 1]; ++i)
            lengths[total++] = quint8(l);
    }
    if (total > symbolCount)
        return false;
    std::array<quint32, 256> codes{};
    quint32 code = 0;
    int length = lengths[0];
    for (int p = 0; lengths[p];) {
        while (lengths[p] == length)
            codes[p++] = code++;
        if (code >= (quint32(1) << length))
            return false;
        code <<= 1;
        ++length;
    }
    int p = 0;
    for (int l = 1; l <= 16; ++l) {
        if (counts[l - 1]) {
            m_valueOffset[l] = p - qint32(codes[p]);
            p += counts[l - 1];
            m_maxCode[l] = qint32(codes[p - 1]);
        } else {
            m_maxCode[l] = -1;
        }
    }
    m_maxCode[17] = 0xFFFFF;
    for (int i = 0; i < total; ++i) {
        if (dc && symbols[i] > 15)
            return false;
        m_symbols[i] = symbols[i];
    }
    m_look.fill(0);
    for (int i = 0; i < total; ++i) {
        const int l = lengths[i];
        if (l > kLookBits)
            break;
        const int spare = kLookBits - l;
        const quint32 first = codes[i] << spare;
        for (quint32 fill = 0; fill < (quint32(1) << spare); ++fill)
            m_look[first + fill] = quint16((l << 8) | symbols[i]);
    }
    return true;
}

quint32 JpegHuffmanTable::decodeLong(quint32 next16) const
{
    for (int l = kLookBits + 1; l <= 16; ++l) {
        const qint32 code = qint32(next16 >> (16 - l));
        if (code <= m_maxCode[l])
            return (quint32(l) << 8) | m_symbols[code + m_valueOffset[l]];
    }
    return 0;
}

} // namespace picture
