#include "FileCommands.h"

#include "browse/FileInfoText.h"
#include "browse/FolderBrowser.h"
#include "browse/PictureLoading.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Services.h"

namespace {

const QString kTitle = QStringLiteral("Quorvel");

} // namespace

FileCommands::FileCommands(Form1Controls &controls, WorkingValues &values, const Services &services,
                           FolderBrowser &browser, PictureLoading &loading)
    : c(controls), m_values(values), m_services(services), m_browser(browser), m_loading(loading)
{
}

QString FileCommands::deleteQuestion(const QString &path)
{
    return QStringLiteral("Are you sure you want to move \"%1\" to the Trash?").arg(path);
}

void FileCommands::run1_Click()
{
    const QString path = m_values.shownPath();
    if (path.isEmpty()) {
        m_services.messages.show(kPleaseSelectAFile, MessageBoxes::Critical, kTitle);
        return;
    }
    // The program's own folder, not the picture's, is where the other program starts.
    const DesktopOutcome outcome =
        m_services.shell.open(path, m_services.application.programFolder());
    if (!outcome.done())
        m_services.messages.show(
            QStringLiteral("Cannot open \"%1\":\n%2").arg(path, outcome.failure),
            MessageBoxes::Critical, kTitle);
}

void FileCommands::delete_Click()
{
    // Reloaded as a click would: a file that cannot be shown is reported and the
    // browser starts over, which may leave nothing selected.
    m_loading.File1_Click();
    if (c.Label7->text().isEmpty())
        m_services.messages.show(kPleaseSelectAFile, MessageBoxes::Critical, kTitle);
    const QString name = c.File1->fileName();
    if (name.isEmpty())
        return;
    const QString path = joinPath(c.File1->path(), name);
    if (m_services.messages.confirm(deleteQuestion(path), QStringLiteral("Delete File"),
                                    MessageBoxes::DefaultNo)) {
        // A file the trash cannot take stays where it is; it is never erased instead.
        const DesktopOutcome outcome = m_services.shell.moveToTrash(path);
        if (!outcome.done())
            m_services.messages.show(
                QStringLiteral("Cannot move \"%1\" to the Trash:\n%2").arg(path, outcome.failure),
                MessageBoxes::Critical, kTitle);
    }
    m_browser.Dir1_Change();
}
