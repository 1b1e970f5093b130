#include "FileListBox.h"

#include "FileSystem.h"

#include <QDir>
#include <algorithm>

FileListBox::FileListBox(const FileSystem &files, QWidget *parent)
    : QListWidget(parent), m_files(files)
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::currentRowChanged, this, [this] {
        if (!m_populating)
            Q_EMIT Click();
    });
    connect(this, &QListWidget::itemDoubleClicked, this, &FileListBox::DblClick);
}

void FileListBox::initialise(const QString &folder, const QString &patternText)
{
    m_path = QDir::cleanPath(folder);
    if (const auto parsed = FilePattern::parse(patternText)) {
        m_patternText = patternText;
        m_pattern = *parsed;
    }
}

bool FileListBox::setPath(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (clean == m_path)
        return true;
    if (!m_files.isReadableFolder(clean))
        return false;
    m_path = clean;
    return refresh();
}

bool FileListBox::setPattern(const QString &text)
{
    if (text == m_patternText)
        return true;
    const auto parsed = FilePattern::parse(text);
    if (!parsed)
        return false;
    m_patternText = text;
    m_pattern = *parsed;
    return refresh();
}

void FileListBox::setShowHidden(bool show)
{
    if (show == m_showHidden)
        return;
    m_showHidden = show;
    (void)refresh();
}

bool FileListBox::refresh()
{
    const std::optional<QStringList> all = m_files.files(m_path, m_showHidden);
    QStringList names;
    if (all) {
        names.reserve(all->size());
        for (const QString &name : *all) {
            if (m_pattern.matches(name))
                names.append(name);
        }
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            const int folded = a.compare(b, Qt::CaseInsensitive);
            return folded != 0 ? folded < 0 : a < b;
        });
    }
    populate(names);
    return all.has_value();
}

void FileListBox::populate(const QStringList &names)
{
    m_populating = true;
    m_names = names;
    m_marked = QVector<bool>(names.size(), false);
    setUpdatesEnabled(false);
    clear();
    addItems(names);
    setCurrentRow(-1);
    setUpdatesEnabled(true);
    m_populating = false;
}

bool FileListBox::isMarked(int index) const
{
    return index >= 0 && index < m_marked.size() && m_marked.at(index);
}

void FileListBox::setMarked(int index, bool marked)
{
    if (index >= 0 && index < m_marked.size())
        m_marked[index] = marked;
}

QString FileListBox::fileName() const
{
    const QListWidgetItem *item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void FileListBox::selectFile(const QString &name)
{
    const qsizetype index = name.isEmpty() ? -1 : m_names.indexOf(name);
    setCurrentRow(static_cast<int>(index));
}
