#include "PictureLoading.h"

#include "FileInfoText.h"
#include "FolderBrowser.h"
#include "PanelFitter.h"
#include "shell/Form1.h"
#include "shell/Services.h"
#include "shell/platform/FileSystem.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/PictureSource.h"

PictureLoading::PictureLoading(Form1 &hub, const Services &services)
    : m_hub(hub), c(hub.controls()), m_services(services)
{
}

void PictureLoading::File1_Click()
{
    if (c.menus.Act1->isChecked())
        c.Image1->setStretch(false);
    if (c.menus.auto1->isChecked()) {
        c.Image1->setStretch(false);
        // Kept hidden until the fit has placed it, so the unfitted picture never shows.
        c.Image1->setVisible(false);
    }
    if (!showSelectedFile())
        startOver();
}

bool PictureLoading::showSelectedFile()
{
    const QString name = c.File1->fileName();
    if (name.isEmpty())
        return true;
    const QString path = joinPath(c.File1->path(), name);
    const PictureRef picture = m_services.pictures.load(path);
    if (!picture)
        return false;
    c.Image1->setPicture(picture);

    const std::optional<qint64> length = m_services.files.fileLength(path);
    if (!length)
        return false;
    c.Label7->setText(kilobyteText(*length));
    c.Label9->setText(pictureSizeText(c.Image1->width(), c.Image1->height()));
    if (c.Label7->text() == QLatin1String("0KB"))
        c.Label7->setText(sizeText(*length));

    if (c.menus.auto1->isChecked())
        m_hub.fitter().Form_Resize2();
    else
        m_hub.fitter().Form_Resize();

    const std::optional<QDateTime> modified = m_services.files.lastModified(path);
    if (!modified)
        return false;
    c.Label8->setText(dateText(*modified));
    m_hub.setCaption(c.Label2->text() + path);
    c.Label3->setText(path);
    return true;
}

void PictureLoading::startOver()
{
    m_services.messages.show(kNotSupported, MessageBoxes::NoIcon, QStringLiteral("Quorvel"));
    c.Combo1->setText(c.Label1->text());
    m_hub.browser().Dir1_Change();
}
