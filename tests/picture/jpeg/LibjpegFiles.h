#pragma once

// JPEG files written and read back with libjpeg itself: the reference the JPEG
// readers' tests compare against.

#include "picture/Bytes.h"
#include "picture/jpeg/JpegDecoder.h"

#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace testjpeg {

struct LibjpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

extern "C" inline void leaveLibjpeg(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<LibjpegError *>(cinfo->err)->jump, 1);
}

// Errors leave through leaveLibjpeg; warnings (stray bytes, coarse quantisers that
// are meant) are no concern.
inline void catchErrors(LibjpegError &err)
{
    err.pub.error_exit = leaveLibjpeg;
    err.pub.emit_message = [](j_common_ptr, int) {
    };
}

// One scan of a progressive script: its components, band and bit positions.
struct Scan {
    std::vector<int> components;
    int ss, se, ah, al;
};

struct Encoding {
    bool grey = false;
    int lumaH = 2; // luma sampling factors; the chroma ones are 1
    int lumaV = 2;
    bool progressive = false; // libjpeg's own progression unless scans are given
    std::vector<Scan> scans;
    bool scanPerComponent = false; // sequential: each component in a scan of its own
    bool optimised = false;        // tables of the picture's own, with longer codes
    int restartInterval = 0;
    int quality = 90;
    bool forceBaseline = true; // else quantisers past 255 make it extended
};

inline QByteArray encode(const QImage &image, const Encoding &e)
{
    jpeg_compress_struct c{};
    LibjpegError err{};
    c.err = jpeg_std_error(&err.pub);
    catchErrors(err);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    std::vector<jpeg_scan_info> script;
    std::vector<JSAMPLE> row(std::size_t(image.width()) * 3);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(image.width());
    c.image_height = JDIMENSION(image.height());
    c.input_components = e.grey ? 1 : 3;
    c.in_color_space = e.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, e.quality, e.forceBaseline ? TRUE : FALSE);
    c.optimize_coding = e.optimised ? TRUE : FALSE;
    if (e.progressive)
        jpeg_simple_progression(&c);
    if (!e.grey) {
        c.comp_info[0].h_samp_factor = e.lumaH;
        c.comp_info[0].v_samp_factor = e.lumaV;
    }
    if (e.scanPerComponent && !e.grey) {
        for (int i = 0; i < 3; ++i) {
            jpeg_scan_info info{};
            info.comps_in_scan = 1;
            info.component_index[0] = i;
            info.Se = 63;
            script.push_back(info);
        }
    }
    for (const Scan &s : e.scans) {
        jpeg_scan_info info{};
        info.comps_in_scan = int(s.components.size());
        for (std::size_t i = 0; i < s.components.size(); ++i)
            info.component_index[i] = s.components[i];
        info.Ss = s.ss;
        info.Se = s.se;
        info.Ah = s.ah;
        info.Al = s.al;
        script.push_back(info);
    }
    if (!script.empty()) {
        c.scan_info = script.data();
        c.num_scans = int(script.size());
    }
    c.restart_interval = unsigned(e.restartInterval);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        const auto *line =
            reinterpret_cast<const QRgb *>(image.constScanLine(int(c.next_scanline)));
        for (int x = 0; x < image.width(); ++x) {
            const std::size_t at = std::size_t(x) * (e.grey ? 1 : 3);
            if (e.grey) {
                row[at] = JSAMPLE(qGray(line[x]));
            } else {
                row[at] = JSAMPLE(qRed(line[x]));
                row[at + 1] = JSAMPLE(qGreen(line[x]));
                row[at + 2] = JSAMPLE(qBlue(line[x]));
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

// Reads the file's coefficients with libjpeg; with dropAc, writes them back with every
// AC coefficient zero, as a sequential file (what a picture from the DC alone must
// be), else returns only "read" and, in dc, the DC coefficients of each component's
// blocks, a row of blocks after another. Empty when libjpeg fails.
inline QByteArray throughLibjpeg(const QByteArray &file, bool dropAc,
                                 std::vector<std::vector<JCOEF>> *dc = nullptr)
{
    jpeg_decompress_struct d{};
    jpeg_compress_struct c{};
    LibjpegError err{};
    d.err = jpeg_std_error(&err.pub);
    c.err = d.err;
    catchErrors(err);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        jpeg_destroy_decompress(&d);
        std::free(buffer);
        return {};
    }
    jpeg_create_decompress(&d);
    jpeg_create_compress(&c);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char *>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr *coefficients = jpeg_read_coefficients(&d);
    for (int ci = 0; ci < d.num_components; ++ci) {
        const jpeg_component_info &comp = d.comp_info[ci];
        std::vector<JCOEF> values;
        for (JDIMENSION y = 0; y < comp.height_in_blocks; ++y) {
            JBLOCKARRAY rows = d.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&d),
                                                         coefficients[ci], y, 1, dropAc);
            for (JDIMENSION x = 0; x < comp.width_in_blocks; ++x) {
                values.push_back(rows[0][x][0]);
                if (dropAc)
                    std::fill(rows[0][x] + 1, rows[0][x] + DCTSIZE2, JCOEF(0));
            }
        }
        if (dc)
            dc->push_back(std::move(values));
    }
    if (dropAc) {
        jpeg_mem_dest(&c, &buffer, &size);
        jpeg_copy_critical_parameters(&d, &c);
        jpeg_write_coefficients(&c, coefficients);
        jpeg_finish_compress(&c);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_compress(&c);
    jpeg_destroy_decompress(&d);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return dropAc ? out : QByteArray("read");
}

// Whether libjpeg, decoding the file in full, finds it sound.
inline bool libjpegFindsSound(const QByteArray &file)
{
    const picture::Decoded d = picture::decodeJpeg(picture::Bytes(file), 8);
    return d.ok() && d.warning.isEmpty();
}

} // namespace testjpeg
