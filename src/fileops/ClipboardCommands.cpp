#include "ClipboardCommands.h"

#include "browse/FileInfoText.h"
#include "browse/FolderBrowser.h"
#include "browse/PanelFitter.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/WorkingValues.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/Services.h"

ClipboardCommands::ClipboardCommands(Form1Controls &controls, WorkingValues &values,
                                     const Services &services, FolderBrowser &browser,
                                     PanelFitter &fitter)
    : c(controls), m_values(values), m_services(services), m_browser(browser), m_fitter(fitter)
{
}

void ClipboardCommands::showMessage(const QString &text, int style)
{
    m_services.messages.show(text, style, QStringLiteral("Quorvel"));
}

void ClipboardCommands::clip1_Click()
{
    // Only a picture loaded from a file goes out; the size field says whether one is shown.
    if (c.Label7->text().isEmpty()) {
        showMessage(kPleaseSelectAFile, MessageBoxes::Critical);
        return;
    }
    const PictureRef picture = c.Image1->picture();
    // The picture itself, whatever the panel's zoom or stretching does to it.
    const QImage image = picture ? picture->toImage() : QImage();
    if (image.isNull() || !m_services.clipboard.setBitmap(image)) {
        showMessage(kInvalidFormat, MessageBoxes::Critical);
        return;
    }
    showMessage(QStringLiteral("Process Finished!"), MessageBoxes::NoIcon);
}

void ClipboardCommands::view2_Click()
{
    const ClipboardPicture pasted = m_services.clipboard.bitmap();
    if (pasted.status == ClipboardPicture::NoPicture) {
        showMessage(kNothingToPaste, MessageBoxes::Question);
        return;
    }
    // As after a change of folder: no file selected, no file information. This much
    // is done even when the picture offered cannot be had.
    m_browser.Dir1_Change();
    (void)c.File1->refresh();
    m_values.showInCaption(kUntitled);
    if (pasted.status == ClipboardPicture::Unreadable || pasted.image.isNull()) {
        showMessage(kInvalidFormat, MessageBoxes::Critical);
        return;
    }
    c.Image1->setPicture(RasterPicture::fromImage(pasted.image));
    // A pasted picture is shown as it is, never fitted into the picture area.
    m_fitter.Form_Resize();
    c.Label9->setText(pictureSizeText(c.Image1->width(), c.Image1->height()));
}
