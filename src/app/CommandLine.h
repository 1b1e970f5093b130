#pragma once

#include <QString>
#include <QStringList>

// What the program's arguments ask for: a start, with or without a file or folder to
// open, or one line printed instead of a start.
struct CommandLine {
    enum class Action { Start, PrintVersion, PrintHelp, Refuse };

    static inline const QString kVersionLine = QStringLiteral("Quorvel 1.36");
    static inline const QString kHelpLine =
        QStringLiteral("Usage: quorvel [--version | --help] [--] [PICTURE-OR-FOLDER]");

    Action action = Action::Start;
    // The file or folder to open, absolute and without "." or ".." steps; empty when
    // none was named.
    QString path;
    // The line to print for every action but Start.
    QString line;

    // Reads the arguments after the program's name; a relative path is taken from
    // currentFolder. Options come first; "--" ends them, so that a name may start
    // with "-".
    [[nodiscard]] static CommandLine parse(const QStringList &arguments,
                                           const QString &currentFolder);
};
