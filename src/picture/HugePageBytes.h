#pragma once

#include <QByteArray>

namespace picture {

// size bytes, not yet written, in a block that starts on a 2 MB boundary and that
// Linux is asked to back with huge pages. Only the whole aligned 2 MB ranges of a
// buffer can be huge pages: a plain array of a few megabytes starts anywhere and keeps
// up to 4 MB on 4 KB pages, each a page fault as it is filled and a costly miss each
// time it is read on a virtual machine. An ordinary array when size is small or memory
// short, and in every other way too (copied, grown and freed as any other).
[[nodiscard]] QByteArray hugePageBytes(qsizetype size);

} // namespace picture
