#include "FolderBrowser.h"

#include "PanelFitter.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/FileSystem.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"
#include "platform/desktop/WorkingFolders.h"

QStringList FolderBrowser::filterItems()
{
    return {kAllReadable, QStringLiteral("*.bmp;*.gif;*.jpg;*.ico;*.cur"),
            QStringLiteral("*.Rle;*.Dib;*.Wmf;*.Emf"), QStringLiteral("*.bmp;*.gif;*.jpg"),
            QStringLiteral("*.ico;*.cur"), QStringLiteral("*.bmp"), QStringLiteral("*.jpg"),
            QStringLiteral("*.gif"), QStringLiteral("*.ico"), QStringLiteral("*.cur"),
            // The types read beyond the first nine, one family to an item.
            QStringLiteral("*.jpg;*.jpeg;*.jpe;*.jfif"), QStringLiteral("*.png"),
            QStringLiteral("*.webp"), QStringLiteral("*.tif;*.tiff"),
            QStringLiteral("*.heic;*.heif;*.hif"), QStringLiteral("*.avif"),
            QStringLiteral("*.jxl"), QStringLiteral("*.svg;*.svgz")};
}

FolderBrowser::FolderBrowser(Form1Controls &controls, WorkingValues &values,
                             const Services &services, PanelFitter &fitter)
    : c(controls), m_values(values), m_services(services), m_fitter(fitter)
{
}

void FolderBrowser::Drive1_Change()
{
    const Volume drive = c.Drive1->drive();
    const QString folder = m_services.working.folderOf(drive);
    const bool ready = m_services.volumes.isReady(drive) && !folder.isEmpty() &&
                       c.Dir1->setPath(folder) && m_services.working.setWorkingVolume(drive);
    // A fallback drive that fails in turn says nothing and goes no further: the
    // fallback that chose it settles where the lists end up.
    if (ready || m_fallingBack)
        return;
    m_fallingBack = true;
    m_services.messages.show(QStringLiteral("Device is not accessible or ready"),
                             MessageBoxes::Critical, QStringLiteral("Quorvel"));
    // Back to the home volume (a drive change of its own), then make the drive list
    // agree with the folder list again.
    c.Drive1->setDrive(m_services.volumes.home());
    c.Drive1->setDrive(m_services.volumes.volumeOf(c.Dir1->path()));
    settleOnReadableFolder();
    m_fallingBack = false;
}

void FolderBrowser::settleOnReadableFolder()
{
    if (m_services.files.isReadableFolder(c.Dir1->path()))
        return;
    // Neither the home volume nor the folder list's own one can be used: the root of
    // the file system is the last resort, and without it the lists stay as they are.
    const QString root = QStringLiteral("/");
    if (!c.Dir1->setPath(root))
        return;
    c.Drive1->setDrive(m_services.volumes.volumeOf(root));
}

void FolderBrowser::Dir1_Change()
{
    if (!showFolder())
        recoverFromUnreadableFolder();
}

namespace {

bool showFiles(FileListBox &list, const QString &folder)
{
    return list.path() == folder ? list.refresh() : list.setPath(folder);
}

} // namespace

bool FolderBrowser::showFolder()
{
    if (!c.Dir1->refresh())
        return false;
    // The file lists are read once, in the new folder: re-reading a folder they are
    // about to leave would fail needlessly when that folder has vanished.
    const QString folder = c.Dir1->path();
    if (!showFiles(*c.File1, folder))
        return false;
    // The hidden twin shows the same folder with the same pattern: it takes the
    // visible list's entries rather than reading the folder again.
    c.File2->mirror(*c.File1);
    // The favourite-folder list points elsewhere; a vanished favourite folder must
    // not make every folder of the browser look unreadable.
    (void)c.File3->refresh();
    m_values.setShownPath({});
    if (m_values.viewingMode() != ViewingMode::Stretched)
        c.Image1->setStretch(false);
    c.Image1->setPicture(c.Picture2->picture());
    m_fitter.Form_Resize();
    m_values.showInCaption(c.Dir1->path());
    c.Label7->clear();
    c.Label8->clear();
    c.Label9->clear();
    return m_services.working.setFolder(c.File1->path());
}

void FolderBrowser::recoverFromUnreadableFolder()
{
    if (m_recovering)
        return;
    m_recovering = true;
    Drive1_Change();
    (void)c.Dir1->setPath(m_services.working.folderOf(c.Drive1->drive()));
    Dir1_Change();
    Combo1_Change();
    m_recovering = false;
}

void FolderBrowser::Combo1_Click()
{
    // The list offers only valid patterns; a failure still takes the same way back.
    Combo1_Change();
}

void FolderBrowser::Combo1_Change()
{
    if (applyFilter()) {
        Dir1_Change();
        return;
    }
    m_services.messages.show(QStringLiteral("This action is not allowed in this application!"),
                             MessageBoxes::Critical, QStringLiteral("Quorvel -Error"));
    c.Combo1->setText(m_values.defaultFilter());
    Dir1_Change();
}

bool FolderBrowser::applyFilter()
{
    const QString text = c.Combo1->text();
    const QString pattern = text == kAllReadable ? kAllReadablePattern : text;
    if (!c.File1->setPattern(pattern))
        return false;
    c.File2->mirror(*c.File1);
    return true;
}

void FolderBrowser::refresh1_Click()
{
    Dir1_Change();
}
