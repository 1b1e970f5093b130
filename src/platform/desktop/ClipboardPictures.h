#pragma once

#include "DesktopServices.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The picture types the clipboard's owner offers that can be read, best first; the
// one to fetch is the first. Empty when it offers no picture at all.
[[nodiscard]] QStringList readablePictureTypes(const QStringList &offered);

// The picture in bytes the owner delivered; refused without allocating anything when
// it is larger than the loader would ever take.
[[nodiscard]] ClipboardPicture decodeClipboardPicture(const QByteArray &bytes);
