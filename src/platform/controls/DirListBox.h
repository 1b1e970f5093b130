#pragma once

#include <QListWidget>

class FileSystem;
class Volumes;

// The folder list: the chain of folders from the volume's root down to the open
// folder, then the open folder's subfolders. A single click only highlights an
// entry; a double click or Enter opens it. The change event fires inside any
// change of the path, whoever makes it.
class DirListBox : public QListWidget {
    Q_OBJECT

public:
    DirListBox(const FileSystem &files, const Volumes &volumes, QWidget *parent = nullptr);

    [[nodiscard]] QString path() const { return m_path; }
    // Opens a folder: false (and nothing changes) when it cannot be read. Opening
    // the folder that is already open raises nothing.
    [[nodiscard]] bool setPath(const QString &folder);
    // Reads the open folder again; false when it cannot be read.
    [[nodiscard]] bool refresh();

    // The folder an entry stands for.
    [[nodiscard]] QString entryPath(int row) const;
    // Opens the highlighted entry, as a double click or Enter does.
    void openHighlighted();

    // Sets the open folder without reading it; used once before any event is wired.
    void initialise(const QString &folder);

Q_SIGNALS:
    void Change();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    const FileSystem &m_files;
    const Volumes &m_volumes;
    QString m_path;
};
