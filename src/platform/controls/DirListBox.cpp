#include "DirListBox.h"

#include "FilePattern.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/Volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;

QStringList chainFrom(const QString &root, const QString &folder)
{
    QStringList chain;
    QString current = folder;
    while (true) {
        chain.prepend(current);
        if (current == root || !isInside(current, root) || current == QLatin1String("/"))
            break;
        current = QFileInfo(current).path();
    }
    return chain;
}

} // namespace

DirListBox::DirListBox(const FileSystem &files, const Volumes &volumes, QWidget *parent)
    : QListWidget(parent), m_files(files), m_volumes(volumes)
{
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { openHighlighted(); });
}

void DirListBox::initialise(const QString &folder)
{
    m_path = QDir::cleanPath(folder);
}

bool DirListBox::setPath(const QString &folder)
{
    if (!QDir::isAbsolutePath(folder))
        return false;
    const QString clean = QDir::cleanPath(folder);
    if (clean == m_path)
        return true;
    if (!m_files.isReadableFolder(clean))
        return false;
    m_path = clean;
    (void)refresh();
    Q_EMIT Change();
    return true;
}

bool DirListBox::refresh()
{
    const std::optional<QStringList> subfolders = m_files.subfolders(m_path);
    setUpdatesEnabled(false);
    clear();
    const QStringList chain = chainFrom(m_volumes.volumeOf(m_path).root, m_path);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);
    int depth = 0;
    for (const QString &folder : chain) {
        const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
        auto *item = new QListWidgetItem(openIcon, QString(depth, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, folder);
        item->setToolTip(folder);
        ++depth;
    }
    if (subfolders) {
        const QStringList names = sortedWithoutRegardToCase(*subfolders);
        const QString base = m_path == QLatin1String("/") ? QString() : m_path;
        for (const QString &name : std::as_const(names)) {
            auto *item =
                new QListWidgetItem(closedIcon, QString(depth, QLatin1Char(' ')) + name, this);
            item->setData(kPathRole, base + QLatin1Char('/') + name);
        }
    }
    setCurrentRow(static_cast<int>(chain.size()) - 1);
    setUpdatesEnabled(true);
    return subfolders.has_value();
}

QString DirListBox::entryPath(int row) const
{
    const QListWidgetItem *entry = item(row);
    return entry ? entry->data(kPathRole).toString() : QString();
}

void DirListBox::openHighlighted()
{
    const QString folder = entryPath(currentRow());
    if (!folder.isEmpty())
        (void)setPath(folder);
}

void DirListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openHighlighted();
        return;
    }
    QListWidget::keyPressEvent(event);
}
