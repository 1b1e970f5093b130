#pragma once

#include <QString>

class WorkingValues;
struct Form1Controls;
struct Services;

// A picture or folder named on the command line, or handed over later by another
// start. At start-up it takes the place of the stored start-up folder for this run: a
// folder opens as if the user had opened it, a picture then shows as if the user had
// clicked it in the file list.
class PathArgument {
public:
    static inline const QString kNotFound =
        QStringLiteral("The picture or folder \"%1\" does not exist.");
    static inline const QString kCannotOpen = QStringLiteral("The folder \"%1\" cannot be opened.");

    // path is absolute; an empty one names nothing.
    PathArgument(Form1Controls &controls, WorkingValues &values, const Services &services,
                 const QString &path);

    // Opens the folder to start in: the path or the picture's folder. False when
    // nothing was named, or after a message when the path cannot be opened: the
    // start then goes on as without it.
    [[nodiscard]] bool openFolder();
    // Once the lists are set up: selects the picture, which shows it as a click does.
    void showPicture();

private:
    [[nodiscard]] bool isListed() const;
    [[nodiscard]] QString patternMatchingName() const;

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    QString m_path;
    QString m_fileName;
};
