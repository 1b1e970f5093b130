#pragma once

#include "FileSystem.h"

#include <QString>

// Copies a file to a full destination path, replacing an older file of that name.
// The new file is written beside the destination under a temporary name and
// renamed over it only once it is complete, so the destination is always either the
// old file or the whole new one. The copy keeps the source's modification time and
// permissions. A destination that is the source itself (the same file, by device
// and inode) counts as copied and is left untouched. A source or destination that
// another program holds locked, and a destination that is read-only, are refused.
[[nodiscard]] FileOutcome copyFileAtomically(const QString &source, const QString &destination);
