#pragma once

#include <QtGlobal>

class FileListBox;

// Where a show is in the folder: how many entries of the hidden file list are marked
// for it, and the rank among them of the slide the next tick shows (from 1). Wide
// enough for any folder.
struct SlideCounters {
    qint64 index = 0;
    qint64 count = 0;

    // Marks every entry of list, counts them and starts at the first.
    void startOver(FileListBox &list);
    // Whether the next tick ends the show instead of showing a slide.
    [[nodiscard]] bool isFinished() const { return count == 0 || index > count; }
};

// The list entry that is the marked entry of that rank (from 1), or -1.
[[nodiscard]] int markedEntryOfRank(const FileListBox &list, qint64 rank);
