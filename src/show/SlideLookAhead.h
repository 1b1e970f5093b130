#pragma once

#include "browse/PictureLookAhead.h"

#include <QSize>
#include <QString>
#include <optional>

class FileSystem;
class PictureSource;

// Decodes the slide a show will need next off the user-interface thread, so that the
// tick only swaps it in. A result is handed out only for the same file, unchanged
// since it was read; anything else is dropped and the tick loads the file itself.
// At most one slide is decoded ahead.
class SlideLookAhead {
public:
    SlideLookAhead(PictureSource &pictures, const FileSystem &files);

    // Starts reading path; with a screen size, also makes ready the raster of the
    // picture fitted into that size.
    void prepare(const QString &path, std::optional<QSize> fitInto = std::nullopt);
    // The picture read ahead for path, or null when there is none ready for it.
    [[nodiscard]] PictureRef take(const QString &path);
    // Whether a slide is still being read.
    [[nodiscard]] bool isReading() const { return m_pictures.isReading(); }
    // Drops whatever was read ahead.
    void clear() { m_pictures.clear(); }

    // Off for measuring what it saves; every tick then loads its own slide.
    void setEnabled(bool enabled) { m_pictures.setEnabled(enabled); }
    [[nodiscard]] bool isEnabled() const { return m_pictures.isEnabled(); }

private:
    PictureLookAhead m_pictures;
};
