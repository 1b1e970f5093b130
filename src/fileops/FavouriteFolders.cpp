#include "FavouriteFolders.h"

#include "browse/FileInfoText.h"
#include "browse/PictureLoading.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"

#include <QDir>
#include <QFileInfo>

FavouriteFolders::FavouriteFolders(Form1Controls &controls, WorkingValues &values,
                                   const Services &services, PictureLoading &loading)
    : c(controls), m_values(values), m_services(services), m_loading(loading)
{
}

QString FavouriteFolders::root()
{
    return QDir::homePath() + QStringLiteral("/VozeviZire");
}

QString FavouriteFolders::nameOf(Category category)
{
    switch (category) {
    case Category::Temp:
        return QStringLiteral("Temp");
    case Category::HomePage:
        return QStringLiteral("HomePage");
    case Category::ForWork:
        return QStringLiteral("For Work");
    case Category::Personal:
        return QStringLiteral("Personal");
    case Category::FutureUse:
        return QStringLiteral("Future Use");
    }
    return {};
}

QString FavouriteFolders::folderOf(Category category)
{
    return root() + QLatin1Char('/') + nameOf(category);
}

QString FavouriteFolders::titleOf(Category category)
{
    // The same text on every computer: the tree under its fixed name, wherever the
    // home folder that holds it happens to be.
    return QStringLiteral("Copy --> C:\\VozeviZire\\") + nameOf(category);
}

FileOutcome FavouriteFolders::createFolders(Category category)
{
    FileOutcome outcome;
    for (const QString &folder : {root(), folderOf(category)}) {
        const FileOutcome made = m_services.files.createFolder(folder);
        // A folder that exists already is no failure; the first one missing is the
        // one to name, since the copy fails for want of it.
        if (!made.done() && outcome.done() && !QFileInfo(folder).isDir())
            outcome.failure =
                QStringLiteral("Cannot create the folder %1: %2").arg(folder, made.failure);
    }
    (void)c.File3->setPath(folderOf(category));
    return outcome;
}

void FavouriteFolders::copySelection(Category category)
{
    // Reloaded as a click would, so a file that can no longer be shown is reported
    // and the browser starts over, leaving nothing selected to copy.
    m_loading.File1_Click();
    const QString name = c.File1->fileName();
    const QString source = joinPath(c.File1->path(), name);
    const FileOutcome folders = createFolders(category);
    if (c.Label7->text().isEmpty() || name.isEmpty()) {
        m_services.messages.show(kNoFileSelected, MessageBoxes::Critical,
                                 QStringLiteral("Quorvel"));
        return;
    }
    if (!folders.done()) {
        report(category, folders);
        return;
    }
    report(category,
           m_services.files.copyFile(source, folderOf(category) + QLatin1Char('/') + name));
}

void FavouriteFolders::copyTo(Category category, const QString &path)
{
    const FileOutcome folders = createFolders(category);
    if (!folders.done()) {
        report(category, folders);
        return;
    }
    const QString destination = folderOf(category) + QLatin1Char('/') + QFileInfo(path).fileName();
    report(category, m_services.files.copyFile(path, destination));
}

void FavouriteFolders::copySlide(Category category)
{
    // The copy keeps the name the file has on disk, which is the slide's name.
    copyTo(category, m_values.slidePath());
}

void FavouriteFolders::report(Category category, const FileOutcome &outcome)
{
    if (outcome.done())
        m_services.messages.show(kProcessFinished, MessageBoxes::NoIcon, titleOf(category));
    else
        m_services.messages.show(kCopyFailed + QStringLiteral("\n\n") + outcome.failure,
                                 MessageBoxes::Critical, titleOf(category));
}

void FavouriteFolders::go1_Click()
{
    // The tree's own order of creation; each folder may exist already.
    (void)m_services.files.createFolder(root());
    for (const Category category : {Category::Temp, Category::HomePage, Category::ForWork,
                                    Category::FutureUse, Category::Personal})
        (void)m_services.files.createFolder(folderOf(category));
    // Both lists raise their change events, which read the root's contents.
    c.Drive1->setDrive(m_services.volumes.volumeOf(root()));
    (void)c.Dir1->setPath(root());
}
