#pragma once

#include "FilePattern.h"

#include <QListView>
#include <QVector>

class FileSystem;
class FileNameModel;

// The files of one folder that match a pattern, sorted by name without regard to
// case. Each entry also has a marked state of its own, used to step through a
// folder. Re-reading clears the selection; the click event fires on each change of
// the selected entry, by mouse or keys.
class FileListBox : public QListView {
    Q_OBJECT

public:
    FileListBox(const FileSystem &files, QWidget *parent = nullptr);
    ~FileListBox() override;

    [[nodiscard]] QString path() const { return m_path; }
    // Re-reads when the folder differs; false (and nothing changes) when the folder
    // cannot be read.
    [[nodiscard]] bool setPath(const QString &folder);

    [[nodiscard]] QString pattern() const { return m_patternText; }
    // Re-reads when the pattern differs; false (and nothing changes) for an invalid one.
    [[nodiscard]] bool setPattern(const QString &text);

    // Re-reads when the switch changes.
    void setShowHidden(bool show);

    // Reads the folder again; false when it cannot be read (the list is then empty).
    [[nodiscard]] bool refresh();
    // Becomes a copy of twin: its folder, pattern, hidden-files switch and entries,
    // without reading the folder a second time. Marks are cleared.
    void mirror(const FileListBox &twin);
    // For a list nobody looks at until asked: a re-read only checks that the folder
    // can be read, and the entries are read when first asked for.
    void setReadsOnDemand(bool onDemand) { m_readsOnDemand = onDemand; }

    [[nodiscard]] int listCount() const;
    [[nodiscard]] QString entry(int index) const;
    [[nodiscard]] bool isMarked(int index) const;
    void setMarked(int index, bool marked);

    // The selected file's name, empty when none is selected.
    [[nodiscard]] QString fileName() const;
    // Selects an entry (a click event follows), or nothing for -1.
    void setCurrentRow(int row);
    [[nodiscard]] int currentRow() const;
    // Selects the entry with that name, or nothing for an empty or unknown name.
    void selectFile(const QString &name);

    // Sets the list's folder and pattern without reading; used once before any event
    // is wired.
    void initialise(const QString &folder, const QString &patternText);

Q_SIGNALS:
    void Click();
    void DblClick();

private:
    void populate(QStringList names);
    [[nodiscard]] QStringList readMatchingNames(bool *readable) const;
    void readIfDue() const;

    const FileSystem &m_files;
    FileNameModel *m_model;
    QString m_path;
    QString m_patternText;
    FilePattern m_pattern = *FilePattern::parse(QString());
    bool m_showHidden = false;
    QStringList m_names;
    QVector<bool> m_marked;
    bool m_populating = false;
    int m_clickedRow = -1;
    bool m_readsOnDemand = false;
    bool m_readDue = false;
};
