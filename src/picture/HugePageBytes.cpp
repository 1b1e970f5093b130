#include "HugePageBytes.h"

#include <cstdlib>
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace picture {

QByteArray hugePageBytes(qsizetype size)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr qsizetype kHugePage = qsizetype(2) << 20;
    constexpr qsizetype kWorthIt = qsizetype(4) << 20;
    // The array's header sits at the start of the block, as Qt's own allocation puts
    // it, and Qt frees the block with free(). Room after the bytes for the
    // terminating zero that every QByteArray keeps.
    using Data = QTypedArrayData<char>;
    constexpr qsizetype kHeader = sizeof(QArrayData);
    if (size >= kWorthIt && size <= (qsizetype(1) << 40)) {
        const qsizetype block = (kHeader + size + 1 + kHugePage - 1) / kHugePage * kHugePage;
        if (void *memory = std::aligned_alloc(std::size_t(kHugePage), std::size_t(block))) {
            (void)madvise(memory, std::size_t(block), MADV_HUGEPAGE);
            auto *header = static_cast<Data *>(memory);
            header->ref_.storeRelaxed(1);
            header->flags = {};
            header->alloc = block - kHeader - 1;
            char *bytes = Data::dataStart(header, alignof(Data::AlignmentDummy));
            bytes[size] = '\0';
            return QByteArray(QByteArray::DataPointer(header, bytes, size));
        }
    }
#endif
    return QByteArray(size, Qt::Uninitialized);
}

} // namespace picture
