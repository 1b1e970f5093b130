#pragma once

#include "ProgressiveScanDecoder.h"
#include "picture/Bytes.h"
#include "picture/HugePageAllocator.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>
#include <vector>

namespace picture {

// What a picture shown at an eighth of its size needs of a JPEG: the DC coefficient of
// every block, as the full decode would hold it at the end.
struct JpegDcFrame {
    static constexpr std::array<int, 64> filledWith(int value)
    {
        std::array<int, 64> all{};
        all.fill(value);
        return all;
    }
    struct Component {
        int id = 0;
        int h = 1; // sampling factors
        int v = 1;
        int table = -1;                  // the quantisation table named in the frame
        std::array<quint16, 64> quant{}; // that table as the component's first scan found it
        bool quantLatched = false;
        int blocksWide = 0; // the blocks that hold picture
        int blocksHigh = 0;
        int gridWide = 0; // the blocks stored, up to whole MCUs when several components
        int gridHigh = 0;
        std::vector<qint16> dc; // gridWide * gridHigh
        // Per block, which coefficients are not zero (progressive files only).
        std::vector<quint64, HugePageAllocator<quint64>> nonzero;
        // Bits still to come per coefficient; -1 before any.
        std::array<int, 64> coefBits = filledWith(-1);
    };
    int width = 0;
    int height = 0;
    int maxH = 1;
    int maxV = 1;
    int mcusWide = 0;
    int mcusHigh = 0;
    std::vector<Component> components;
    QByteArray colourMarkers; // the APP0 and APP14 segments, which say the colour space
};

// Reads every scan of a progressive JPEG and keeps only the DC coefficients, and for
// the AC scans only which coefficients are non-zero: what their refinement scans need
// to be read. A few megabytes for a 24-megapixel photo instead of libjpeg's 72 MB of
// coefficients. A sequential (baseline or extended) JPEG is read the same way, its AC
// coefficients passed without being decoded.
//
// It answers Clean only for a file that libjpeg would decode in full without a sign
// of damage; anything it does not follow, and every kind of damage, is Undecided, for
// libjpeg to judge in full.
class ProgressiveJpegReader {
public:
    enum class Verdict { Clean, Undecided };

    [[nodiscard]] Verdict read(Bytes data);
    [[nodiscard]] const JpegDcFrame &frame() const { return m_frame; }
    // Why the last read was Undecided.
    [[nodiscard]] const QString &why() const { return m_why; }

private:
    struct Scan;

    bool undecided(const QString &why);
    bool readMarkers(Bytes data);
    bool readFrame(Bytes segment);
    bool readTables(Bytes segment);
    bool readQuantisation(Bytes segment);
    bool readScanHeader(Bytes segment, Scan &scan);
    bool checkProgression(Scan &scan);
    bool checkSequential(Scan &scan);
    [[nodiscard]] bool progressionComplete() const;
    bool decodeScans();

    JpegDcFrame m_frame;
    QString m_why;
    std::array<std::array<quint16, 64>, 4> m_quant{};
    std::array<bool, 4> m_quantDefined{};
    std::array<std::shared_ptr<const JpegHuffmanTable>, 8> m_tables; // 4 DC, 4 AC; null: none
    std::vector<JpegScan> m_scans;
    int m_restartInterval = 0;
    bool m_sawFrame = false;
    bool m_sequential = false; // baseline or extended: each component's one scan
};

} // namespace picture
