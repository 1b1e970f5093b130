#pragma once

#include "ProgressiveJpegReader.h"
#include "picture/Bytes.h"
#include "picture/Decoded.h"

namespace picture {

// The eighth-size picture of a JPEG made from its DC coefficients alone,
// which at that scale are all libjpeg's inverse DCT reads of the full-resolution
// components. Where JpegDcPixels knows exactly what libjpeg does with them, the pixels
// are computed straight away; otherwise the coefficients go back to libjpeg as a small
// single-scan file of the same frame and quantisation, for it to finish.
class JpegDcImage {
public:
    // That single-scan file; empty when the frame cannot be written as one (more
    // than ten blocks in an MCU, DC values no 8-bit file holds).
    [[nodiscard]] static QByteArray sequentialFile(const JpegDcFrame &frame);
    // Whether sequentialFile writes the frame.
    [[nodiscard]] static bool fitsSequentialFile(const JpegDcFrame &frame);

    // The picture at scale 1/8 (as decodeJpeg(data, 8) makes it), from the DC
    // coefficients when the file is progressive or sequential with Huffman codes and
    // every scan reads cleanly; otherwise libjpeg decodes it in full and judges any
    // damage.
    [[nodiscard]] static Decoded decodeEighth(Bytes data);
};

} // namespace picture
