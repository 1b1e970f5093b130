#include "FileListBox.h"

#include "platform/desktop/FileSystem.h"

#include <QAbstractListModel>
#include <QDir>
#include <algorithm>
#include <numeric>

// The names as a plain list model: a folder of tens of thousands of pictures is
// shown by swapping one list, not by creating an item per name.
class FileNameModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void setNames(const QStringList &names)
    {
        beginResetModel();
        m_names = names;
        endResetModel();
    }
    [[nodiscard]] int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_names.size());
    }
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_names.size())
            return {};
        return m_names.at(index.row());
    }

private:
    QStringList m_names;
};

FileListBox::FileListBox(const FileSystem &files, QWidget *parent)
    : QListView(parent), m_files(files), m_model(new FileNameModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection, not the current entry: a mouse press moves the current entry
    // before it selects, and the click must find the new selection in place.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList selected = selectionModel()->selectedIndexes();
        const int row = selected.isEmpty() ? -1 : selected.constFirst().row();
        if (m_populating || row < 0 || row == m_clickedRow)
            return;
        m_clickedRow = row;
        Q_EMIT Click();
    });
    connect(this, &QListView::doubleClicked, this, &FileListBox::DblClick);
}

FileListBox::~FileListBox() = default;

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
    if (m_readsOnDemand) {
        populate({});
        m_readDue = true;
        return m_files.isReadableFolder(m_path);
    }
    bool readable = false;
    populate(readMatchingNames(&readable));
    return readable;
}

QStringList FileListBox::readMatchingNames(bool *readable) const
{
    const std::optional<QStringList> all = m_files.files(m_path, m_showHidden);
    *readable = all.has_value();
    QStringList names;
    if (all) {
        names.reserve(all->size());
        for (const QString &name : *all) {
            if (m_pattern.matches(name))
                names.append(name);
        }
    }
    return sortedWithoutRegardToCase(names);
}

void FileListBox::readIfDue() const
{
    if (!m_readDue)
        return;
    // Reading on demand changes what the list holds, not what it stands for.
    auto *self = const_cast<FileListBox *>(this);
    self->m_readDue = false;
    bool readable = false;
    self->populate(readMatchingNames(&readable));
}

void FileListBox::mirror(const FileListBox &twin)
{
    twin.readIfDue();
    m_path = twin.m_path;
    m_patternText = twin.m_patternText;
    m_pattern = twin.m_pattern;
    m_showHidden = twin.m_showHidden;
    m_readDue = false;
    populate(twin.m_names);
}

int FileListBox::listCount() const
{
    readIfDue();
    return static_cast<int>(m_names.size());
}

QString FileListBox::entry(int index) const
{
    readIfDue();
    return m_names.value(index);
}

void FileListBox::populate(QStringList names)
{
    m_populating = true;
    m_names = std::move(names);
    m_marked = QVector<bool>(m_names.size(), false);
    m_model->setNames(m_names);
    selectionModel()->clear();
    m_clickedRow = -1;
    m_populating = false;
}

bool FileListBox::isMarked(int index) const
{
    readIfDue();
    return index >= 0 && index < m_marked.size() && m_marked.at(index);
}

void FileListBox::setMarked(int index, bool marked)
{
    readIfDue();
    if (index >= 0 && index < m_marked.size())
        m_marked[index] = marked;
}

QString FileListBox::fileName() const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return {};
    return m_names.value(current.row());
}

void FileListBox::setCurrentRow(int row)
{
    if (row < 0 || row >= m_names.size()) {
        selectionModel()->clear();
        m_clickedRow = -1;
        return;
    }
    selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
}

int FileListBox::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FileListBox::selectFile(const QString &name)
{
    setCurrentRow(name.isEmpty() ? -1 : static_cast<int>(m_names.indexOf(name)));
}
