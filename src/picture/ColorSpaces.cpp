#include "ColorSpaces.h"

#include <QPointF>

namespace picture {

namespace {

QColorSpace unlessSrgb(const QColorSpace &space)
{
    return space.isValid() && space != QColorSpace(QColorSpace::SRgb) ? space : QColorSpace();
}

} // namespace

QColorSpace spaceToConvert(const QByteArray &iccProfile)
{
    return iccProfile.isEmpty() ? QColorSpace()
                                : unlessSrgb(QColorSpace::fromIccProfile(iccProfile));
}

QColorSpace spaceToConvert(int primaries, int transfer)
{
    // Transfers other than these (PQ and HLG above all) would need tone mapping,
    // which is beyond a plain colour conversion: those pictures are shown as coded.
    QColorSpace::TransferFunction function;
    float gamma = 0;
    switch (transfer) {
    case 1: // BT.709, and the same curve for 601 and 2020
    case 6:
    case 14:
    case 15:
    case 13: // sRGB
    case 2:  // unspecified: the usual case is sRGB
        function = QColorSpace::TransferFunction::SRgb;
        break;
    case 4:
        function = QColorSpace::TransferFunction::Gamma;
        gamma = 2.2f;
        break;
    case 5:
        function = QColorSpace::TransferFunction::Gamma;
        gamma = 2.8f;
        break;
    case 8:
        function = QColorSpace::TransferFunction::Linear;
        break;
    default:
        return {};
    }
    switch (primaries) {
    case 1: // BT.709, the primaries of sRGB
    case 2: // unspecified
        return unlessSrgb(QColorSpace(QColorSpace::Primaries::SRgb, function, gamma));
    case 12: // Display P3, as phones take their photos
        return QColorSpace(QColorSpace::Primaries::DciP3D65, function, gamma);
    case 9: // BT.2020
        return QColorSpace(QPointF(0.3127, 0.3290), QPointF(0.708, 0.292), QPointF(0.170, 0.797),
                           QPointF(0.131, 0.046), function, gamma);
    default:
        return {};
    }
}

void convertToSrgb(QImage &image, const QColorSpace &space)
{
    if (!space.isValid() || image.depth() != 32)
        return;
    image.setColorSpace(space);
    image.convertToColorSpace(QColorSpace::SRgb);
}

} // namespace picture
