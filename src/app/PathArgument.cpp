#include "PathArgument.h"

#include "browse/FolderBrowser.h"
#include "browse/PictureLoading.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Services.h"

#include <QFileInfo>

PathArgument::PathArgument(Form1Controls &controls, WorkingValues &values, const Services &services,
                           const QString &path)
    : c(controls), m_values(values), m_services(services), m_path(path)
{
}

bool PathArgument::openFolder()
{
    if (m_path.isEmpty())
        return false;
    // Links are followed to find out what they name, but the folder opened is the one
    // that holds the link, as the user named it.
    const QFileInfo info(m_path);
    if (!info.exists()) {
        m_services.messages.show(kNotFound.arg(m_path), MessageBoxes::Critical,
                                 QStringLiteral("Quorvel"));
        return false;
    }
    const QString folder = info.isDir() ? m_path : info.absolutePath();
    if (!info.isDir())
        m_fileName = info.fileName();
    if (!c.Dir1->setPath(folder)) {
        m_services.messages.show(kCannotOpen.arg(folder), MessageBoxes::Critical,
                                 QStringLiteral("Quorvel"));
        m_fileName.clear();
        return false;
    }
    return true;
}

void PathArgument::showPicture()
{
    if (m_fileName.isEmpty())
        return;
    // A running copy's filter may leave the picture out where a start's would not.
    if (!isListed() && c.Combo1->text() != FolderBrowser::kAllReadable)
        c.Combo1->setText(FolderBrowser::kAllReadable);
    // A name the filter leaves out (a ".jpg_large", say) gets the filter a user would have
    // typed to see it; the loader goes by the content, not the name.
    if (!isListed())
        c.Combo1->setText(patternMatchingName());
    if (isListed()) {
        c.File1->selectFile(m_fileName);
        return;
    }
    // Not a plain file the list can hold (a device, a pipe): refused as a file that
    // cannot be shown, and the filter goes back.
    m_services.messages.show(PictureLoading::kNotSupported, MessageBoxes::NoIcon,
                             QStringLiteral("Quorvel"));
    c.Combo1->setText(m_values.defaultFilter());
}

bool PathArgument::isListed() const
{
    for (int i = 0; i < c.File1->listCount(); ++i) {
        if (c.File1->entry(i) == m_fileName)
            return true;
    }
    return false;
}

QString PathArgument::patternMatchingName() const
{
    // "*.suffix", or the whole name when it has none; the characters a pattern cannot
    // hold as themselves become "?": the separator ";", control characters, and the
    // blanks at either end that a pattern's pieces lose.
    const QString suffix = QFileInfo(m_fileName).suffix();
    QString pattern = suffix.isEmpty() ? m_fileName : QStringLiteral("*.") + suffix;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar ch = pattern.at(i);
        const bool atEnd = i == 0 || i == pattern.size() - 1;
        if (ch == QLatin1Char(';') || ch.category() == QChar::Other_Control ||
            (atEnd && ch.isSpace()))
            pattern[i] = QLatin1Char('?');
    }
    return pattern;
}
