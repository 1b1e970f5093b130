#include "SlideCounters.h"

#include "platform/controls/FileListBox.h"

void SlideCounters::startOver(FileListBox &list)
{
    const int entries = list.listCount();
    for (int i = 0; i < entries; ++i)
        list.setMarked(i, true);
    count = 0;
    for (int i = 0; i < entries; ++i) {
        if (list.isMarked(i))
            ++count;
    }
    index = 1;
}

int markedEntryOfRank(const FileListBox &list, qint64 rank)
{
    qint64 seen = 0;
    const int entries = list.listCount();
    for (int i = 0; i < entries; ++i) {
        if (list.isMarked(i) && ++seen == rank)
            return i;
    }
    return -1;
}
