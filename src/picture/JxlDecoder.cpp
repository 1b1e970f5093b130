#include "JxlDecoder.h"

#include "Limits.h"

#include <QThread>
#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <memory>

namespace picture {

namespace {

struct DecoderDestroy {
    void operator()(JxlDecoder *d) const { JxlDecoderDestroy(d); }
};
struct RunnerDestroy {
    void operator()(void *r) const { JxlThreadParallelRunnerDestroy(r); }
};

// Four 8-bit channels, R, G, B, A in memory, alpha multiplied in by Qt after.
constexpr JxlPixelFormat kFormat = {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

struct Reading {
    JxlDecoder *decoder = nullptr;
    QImage image;
    bool alpha = false;
    QByteArray iccProfile;
};

// Empty when the picture may be decoded; why not otherwise.
QString takeBasicInfo(Reading &r)
{
    JxlBasicInfo info;
    if (JxlDecoderGetBasicInfo(r.decoder, &info) != JXL_DEC_SUCCESS)
        return QStringLiteral("JPEG XL header unreadable");
    // The decoder turns the picture upright, so its sides swap for a quarter turn.
    const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
    const qint64 width = turned ? info.ysize : info.xsize;
    const qint64 height = turned ? info.xsize : info.ysize;
    QString why;
    r.image = allocateRaster(width, height, QImage::Format_RGBA8888, &why);
    r.alpha = info.alpha_bits > 0;
    return why;
}

void takeColorProfile(Reading &r)
{
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(r.decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0)
        return;
    r.iccProfile.resize(qsizetype(size));
    if (JxlDecoderGetColorAsICCProfile(r.decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t *>(r.iccProfile.data()),
                                       size) != JXL_DEC_SUCCESS)
        r.iccProfile.clear();
}

bool giveOutputBuffer(Reading &r)
{
    size_t size = 0;
    return JxlDecoderImageOutBufferSize(r.decoder, &kFormat, &size) == JXL_DEC_SUCCESS &&
           qint64(size) == r.image.sizeInBytes() &&
           JxlDecoderSetImageOutBuffer(r.decoder, &kFormat, r.image.bits(), size) ==
               JXL_DEC_SUCCESS;
}

} // namespace

Decoded decodeJxl(Bytes data)
{
    const std::unique_ptr<JxlDecoder, DecoderDestroy> decoder(JxlDecoderCreate(nullptr));
    const std::unique_ptr<void, RunnerDestroy> runner(
        JxlThreadParallelRunnerCreate(nullptr, size_t(QThread::idealThreadCount())));
    if (!decoder || !runner ||
        JxlDecoderSetParallelRunner(decoder.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                     JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), data.data(), size_t(data.size())) != JXL_DEC_SUCCESS)
        return Decoded::fail(QStringLiteral("libjxl unavailable"));
    JxlDecoderCloseInput(decoder.get());

    Reading r;
    r.decoder = decoder.get();
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
        case JXL_DEC_BASIC_INFO:
            // Checked before the decoder sets aside anything for the pixels.
            if (const QString why = takeBasicInfo(r); !why.isEmpty())
                return Decoded::fail(why);
            break;
        case JXL_DEC_COLOR_ENCODING:
            takeColorProfile(r);
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            if (!giveOutputBuffer(r))
                return Decoded::fail(QStringLiteral("JPEG XL output size unexpected"));
            break;
        case JXL_DEC_FULL_IMAGE: {
            // The first frame is the picture; the rest of an animation is not read.
            Decoded d;
            d.image = std::move(r.image);
            d.image.convertTo(r.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
            d.iccProfile = std::move(r.iccProfile);
            return d;
        }
        case JXL_DEC_SUCCESS:
            return Decoded::fail(QStringLiteral("JPEG XL holds no picture"));
        default: // an error, or the data ends early
            return Decoded::fail(QStringLiteral("JPEG XL data damaged or cut short"));
        }
    }
}

} // namespace picture
