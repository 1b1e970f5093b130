#pragma once

#include <QByteArray>

namespace picture {

// size bytes, not yet written, in a block that starts on a 2 MB boundary and that
// Linux is asked to back with huge pages. Part of a huge page is a 4 KB page after
// all, so a plain array of a few megabytes, which starts anywhere, takes hundreds of
// page faults as it is filled, and as many more costly misses each time it is read on
// a virtual machine. An ordinary array when size is small or memory short; an
// ordinary array in every other way too (copied, grown and freed as any other).
[[nodiscard]] QByteArray hugePageBytes(qsizetype size);

} // namespace picture
