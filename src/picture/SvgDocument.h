#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace picture {

// The most an SVG document may hold, unpacked: more is refused rather than parsed.
inline constexpr qsizetype kMaxSvgBytes = 64 << 20;
// The most elements drawing it may visit, every <use> counted as the copy it draws.
inline constexpr qint64 kMaxSvgWork = 2'000'000;
inline constexpr int kMaxSvgDepth = 256;

// Whether the bytes are gzip-packed (an .svgz file).
[[nodiscard]] bool isGzip(QByteArrayView bytes);
// The unpacked bytes, at most limit of them; nothing when the stream is damaged or
// unpacks to more than the limit.
[[nodiscard]] std::optional<QByteArray> gunzip(QByteArrayView packed, qsizetype limit);

// Whether the text starts like an SVG document: an <svg> root after the XML
// declaration, comments and a document type, looked for in its first kilobytes.
[[nodiscard]] bool looksLikeSvg(QByteArrayView text);
// Whether the bytes are an SVG document, plain or packed.
[[nodiscard]] bool isSvgFile(QByteArrayView bytes);

// The document as it may safely be drawn: nothing outside it referred to (links
// to other files, style sheets, embedded pictures that are not plain rasters are
// dropped), and no more work than kMaxSvgWork to draw. Nothing, with why, when it
// is malformed or would cost more than that.
[[nodiscard]] std::optional<QByteArray> safeSvg(QByteArrayView bytes, QString *why);

} // namespace picture
