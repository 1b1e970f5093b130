#include "JpegDecoder.h"

#include "picture/Limits.h"
#include "picture/Orientation.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>
#include <vector>

namespace picture {
namespace {

// A progressive file can ask for any number of scans, each a pass over the whole
// picture; real ones use about ten.
constexpr int kMaxScans = 500;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    char damage[JMSG_LENGTH_MAX]; // the first sign of pixels missing or decoded from junk
    bool damaged;
    bool dataEnded;
};

struct Job {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    Bytes data;
    int denominator = 1;
    int numerator = 1;
    JpegHeader *header = nullptr; // filled when only the header is wanted
    Decoded *out = nullptr;
    std::vector<JSAMPLE> cmykRow;
    qint64 rowsDecoded = 0;
};

} // namespace

extern "C" {

static void quorvelJpegError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings that mean image data was missing or corrupt where pixels needed it. The
// others (stray bytes between markers, the end of the data where only the closing
// marker was left to read, unknown extras) leave every pixel decoded.
static bool meansDamage(int code)
{
    switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    default:
        return false;
    }
}

static void quorvelJpegMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace output
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF)
        err->dataEnded = true;
    if (meansDamage(code) && !err->damaged) {
        err->damaged = true;
        (*cinfo->err->format_message)(cinfo, err->damage);
    }
    ++cinfo->err->num_warnings;
}

static void quorvelJpegProgress(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->progressive_mode && d->input_scan_number > kMaxScans) {
        auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "more than %d progressive scans",
                      kMaxScans);
        std::longjmp(err->jump, 1);
    }
}

} // extern "C"

namespace {

void fillHeader(Job *job)
{
    jpeg_decompress_struct &c = job->cinfo;
    JpegHeader &h = *job->header;
    h.width = c.image_width;
    h.height = c.image_height;
    h.components = c.num_components;
    h.progressive = c.progressive_mode;
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1)
            continue;
        const int orientation = exifOrientation(Bytes(QByteArrayView(
            reinterpret_cast<const char *>(m->data), static_cast<qsizetype>(m->data_length))));
        if (orientation != 1) {
            h.orientation = orientation;
            break;
        }
    }
    JOCTET *icc = nullptr;
    unsigned int iccLength = 0;
    if (jpeg_read_icc_profile(&c, &icc, &iccLength) && icc) {
        h.iccProfile = QByteArray(reinterpret_cast<const char *>(icc), iccLength);
        std::free(icc);
    }
}

// CMYK JPEGs are in practice written the way Photoshop does, inverted (0 is full
// ink), whether or not they carry its APP14 marker.
void cmykToRgb(const JSAMPLE *in, QRgb *out, qint64 width)
{
    for (qint64 x = 0; x < width; ++x, in += 4) {
        const int k = in[3];
        out[x] = qRgb(in[0] * k / 255, in[1] * k / 255, in[2] * k / 255);
    }
}

void markDamaged(Job *job, const QString &why)
{
    if (job->err.damaged)
        return;
    job->err.damaged = true;
    std::snprintf(job->err.damage, sizeof job->err.damage, "%s", qPrintable(why));
}

// Whether every coefficient of every component got all its bits from the scans:
// a progressive file whose data ends between scans lacks the later ones.
bool progressionComplete(const jpeg_decompress_struct &c)
{
    if (!c.progressive_mode || !c.coef_bits)
        return true;
    for (int component = 0; component < c.num_components; ++component) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            if (c.coef_bits[component][k] != 0)
                return false;
        }
    }
    return true;
}

bool fail(Job *job, const QString &why)
{
    std::snprintf(job->err.message, sizeof job->err.message, "%s", qPrintable(why));
    return false;
}

bool sizeAllowed(Job *job)
{
    const QString bad = checkDimensions(job->cinfo.image_width, job->cinfo.image_height);
    return bad.isEmpty() || fail(job, bad);
}

bool allocateOutput(Job *job)
{
    QString why;
    job->out->image = allocateRaster(job->cinfo.output_width, job->cinfo.output_height,
                                     QImage::Format_RGB32, &why);
    return !job->out->image.isNull() || fail(job, why);
}

void fillRowsLeft(Job *job)
{
    QImage &image = job->out->image;
    for (int y = static_cast<int>(job->rowsDecoded); y < image.height(); ++y)
        std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)), image.width(),
                    qRgb(128, 128, 128));
}

// Everything that lives across a jump out of libjpeg is in *job; this frame holds
// nothing that needs destroying.
bool run(Job *job)
{
    jpeg_decompress_struct &c = job->cinfo;
    if (setjmp(job->err.jump))
        return false;
    jpeg_create_decompress(&c);
    c.mem->max_memory_to_use = kMaxRasterBytes;
    job->progress.progress_monitor = quorvelJpegProgress;
    c.progress = &job->progress;
    jpeg_mem_src(&c, job->data.data(), static_cast<unsigned long>(job->data.size()));
    if (job->header) {
        jpeg_save_markers(&c, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&c, JPEG_APP0 + 2, 0xFFFF);
    }
    if (jpeg_read_header(&c, TRUE) != JPEG_HEADER_OK)
        return fail(job, QStringLiteral("no image in the JPEG data"));
    if (!sizeAllowed(job))
        return false;
    if (job->header) {
        fillHeader(job);
        return true;
    }

    const bool cmyk = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    c.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    c.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif
    c.scale_num = static_cast<unsigned int>(job->numerator);
    c.scale_denom = static_cast<unsigned int>(job->denominator);
    jpeg_calc_output_dimensions(&c);
    if (!allocateOutput(job))
        return false;
    jpeg_start_decompress(&c);
    const bool sequential = !jpeg_has_multiple_scans(&c);
    if (cmyk)
        job->cmykRow.resize(std::size_t(c.output_width) * 4);
    while (c.output_scanline < c.output_height) {
        // Once a single-scan file runs dry, the rest would be decoded from nothing.
        if (sequential && job->err.damaged)
            break;
        uchar *target = job->out->image.scanLine(static_cast<int>(c.output_scanline));
        JSAMPROW row = cmyk ? job->cmykRow.data() : target;
        if (jpeg_read_scanlines(&c, &row, 1) != 1)
            break;
        if (cmyk)
            cmykToRgb(row, reinterpret_cast<QRgb *>(target), c.output_width);
        // A row made after the data ran out is filler, not picture.
        if (!sequential || !job->err.damaged)
            ++job->rowsDecoded;
    }
    if (job->err.dataEnded && !progressionComplete(c))
        markDamaged(job, QStringLiteral("the data ends before the last scans"));
    if (c.output_scanline < c.output_height) {
        markDamaged(job, QStringLiteral("the data ends after %1 of %2 rows")
                             .arg(job->rowsDecoded)
                             .arg(c.output_height));
        fillRowsLeft(job);
        jpeg_abort_decompress(&c);
    } else {
        jpeg_finish_decompress(&c);
    }
    return true;
}

// A job over data whose library errors come back to us instead of ending the program.
std::unique_ptr<Job> newJob(Bytes data)
{
    auto job = std::make_unique<Job>();
    job->data = data;
    job->cinfo.err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = quorvelJpegError;
    job->err.pub.emit_message = quorvelJpegMessage;
    return job;
}

} // namespace

bool readJpegHeader(Bytes data, JpegHeader &header, QString &why)
{
    const std::unique_ptr<Job> job = newJob(data);
    job->header = &header;
    const bool ok = run(job.get());
    jpeg_destroy_decompress(&job->cinfo);
    if (!ok)
        why = QStringLiteral("JPEG: %1").arg(QString::fromLocal8Bit(job->err.message));
    return ok;
}

Decoded decodeJpeg(Bytes data, int denominator, int numerator)
{
    Decoded out;
    const std::unique_ptr<Job> job = newJob(data);
    job->denominator = denominator;
    job->numerator = numerator;
    job->out = &out;
    const bool ok = run(job.get());
    jpeg_destroy_decompress(&job->cinfo);
    if (!ok)
        return Decoded::fail(
            QStringLiteral("JPEG: %1").arg(QString::fromLocal8Bit(job->err.message)));
    if (job->err.damaged)
        out.warning = QStringLiteral("JPEG: %1").arg(QString::fromLocal8Bit(job->err.damage));
    return out;
}

} // namespace picture
