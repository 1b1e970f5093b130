#include "Form1Layout.h"

#include "browse/FolderBrowser.h"
#include "platform/desktop/Services.h"
#include "platform/desktop/Volumes.h"

#include <QPalette>

namespace {

void place(QWidget *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

void setBackground(QWidget *widget, QColor color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Button, color);
    widget->setPalette(palette);
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, int left, int top,
              int width, int height)
{
    auto *result = new QLabel(caption, parent);
    place(result, name, left, top, width, height);
    return result;
}

QLabel *hiddenLabel(QWidget *parent, const char *name, const QString &caption)
{
    auto *result = new QLabel(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->hide();
    return result;
}

PictureBox *stockHolder(QWidget *parent, const char *name, const QString &resource)
{
    auto *box = new PictureBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setPicture(RasterPicture::fromResource(resource));
    box->hide();
    return box;
}

} // namespace

Form1Controls buildForm1Controls(QWidget &client, QObject &owner, const Services &services,
                                 const QString &startFolder)
{
    const QColor listBackground(224, 224, 224);
    Form1Controls c{};
    // The window's fixed layout was drawn for a small interface font.
    QFont compact = client.font();
    compact.setPointSizeF(qMin(compact.pointSizeF(), 8.0));
    client.setFont(compact);

    c.Image4 = new QLabel(&client);
    place(c.Image4, "Image4", 0, 0, 2415, 375);
    c.Image4->setPixmap(QPixmap(QStringLiteral(":/banner.png")));
    c.Image4->setScaledContents(true);

    c.Drive1 = new DriveListBox(services.volumes, &client);
    place(c.Drive1, "Drive1", 0, 360, 2415, 315);
    setBackground(c.Drive1, listBackground);
    c.Drive1->initialise(services.volumes.volumeOf(startFolder));

    c.Dir1 = new DirListBox(services.files, services.volumes, &client);
    place(c.Dir1, "Dir1", 0, 720, 2415, 1890);
    setBackground(c.Dir1, listBackground);
    c.Dir1->setIconSize(QSize(16, 16));
    c.Dir1->initialise(startFolder);

    c.Combo1 = new ComboBox(&client);
    place(c.Combo1, "Combo1", 0, 2640, 2415, 315);
    setBackground(c.Combo1, listBackground);
    c.Combo1->addItems(FolderBrowser::filterItems());
    c.Combo1->setCurrentIndex(-1);

    c.File1 = new FileListBox(services.files, &client);
    place(c.File1, "File1", 0, 3000, 2415, 2040);
    setBackground(c.File1, listBackground);
    for (FileListBox **list : {&c.File2, &c.File3}) {
        *list = new FileListBox(services.files, &client);
        (*list)->hide();
    }
    c.File2->setObjectName(QStringLiteral("File2"));
    c.File3->setObjectName(QStringLiteral("File3"));
    // Only a copy into a favourite folder ever looks at what File3 holds.
    c.File3->setReadsOnDemand(true);
    for (FileListBox *list : {c.File1, c.File2, c.File3})
        list->initialise(startFolder, QStringLiteral("*.*"));

    c.Frame1 = new QGroupBox(QStringLiteral("File's Information"), &client);
    place(c.Frame1, "Frame1", 0, 5040, 2415, 1095);
    // The captions of the information rows are narrow: a condensed face keeps them whole.
    QFont condensed = compact;
    condensed.setStretch(QFont::SemiCondensed);
    c.Frame1->setFont(condensed);
    c.Label4 = label(c.Frame1, "Label4", QStringLiteral("Size:"), 120, 240, 375, 255);
    c.Label7 = label(c.Frame1, "Label7", {}, 600, 240, 1335, 255);
    c.Label5 = label(c.Frame1, "Label5", QStringLiteral("Date:"), 120, 480, 375, 255);
    c.Label8 = label(c.Frame1, "Label8", {}, 600, 480, 1695, 255);
    c.Label6 = label(c.Frame1, "Label6", QStringLiteral("Pic's Size:"), 120, 720, 855, 255);
    c.Label9 = label(c.Frame1, "Label9", {}, 960, 720, 1215, 255);
    c.Label10 = label(c.Frame1, "Label10", QStringLiteral("[Stretched Size]"), 960, 720, 1215, 255);
    c.Label10->hide();

    c.Picture5 = new PictureBox(&client);
    place(c.Picture5, "Picture5", 2400, 0, 6855, 5895);
    c.Picture5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    c.Picture5->setLineWidth(2);
    c.Picture5->setOwnCursor(QCursor(QPixmap(QStringLiteral(":/cursors/zoom-32.png")), 12, 12));

    c.Image1 = new PictureElement(&owner);
    c.Image1->setObjectName(QStringLiteral("Image1"));
    c.Image1->setWidth(449);
    c.Image1->setHeight(385);
    c.Picture5->addElement(c.Image1);
    c.Picture5->setElementCursor(
        c.Image1, QCursor(QPixmap(QStringLiteral(":/cursors/binoculars-32.png")), 16, 16));

    c.HScroll1 = new ScrollBar(Qt::Horizontal, &client);
    place(c.HScroll1, "HScroll1", 2400, 5880, 6855, 233);
    c.VScroll1 = new ScrollBar(Qt::Vertical, &client);
    place(c.VScroll1, "VScroll1", 9240, 0, 233, 5895);
    for (ScrollBar *bar : {c.HScroll1, c.VScroll1}) {
        bar->setRange(0, 32700);
        bar->setSingleStep(1);
        bar->setPageStep(1);
    }

    c.Picture1 = stockHolder(c.Picture5, "Picture1", QStringLiteral(":/stock/please-wait.png"));
    c.Picture2 = stockHolder(c.Picture5, "Picture2", QStringLiteral(":/stock/select-a-file.png"));
    c.Picture3 =
        stockHolder(c.Picture5, "Picture3", QStringLiteral(":/stock/process-finished.png"));
    c.Picture4 = stockHolder(c.Picture5, "Picture4", QStringLiteral(":/stock/error-occur.png"));

    c.Label1 = hiddenLabel(c.Picture5, "Label1", FolderBrowser::kAllReadable);
    c.Label2 = hiddenLabel(c.Picture5, "Label2", QStringLiteral("Quorvel    -- "));
    c.Label3 = hiddenLabel(c.Picture5, "Label3", {});
    c.Label11 = hiddenLabel(c.Picture5, "Label11", QStringLiteral("1500"));
    c.Label12 = hiddenLabel(c.Picture5, "Label12", {});
    c.Label13 = hiddenLabel(c.Picture5, "Label13", {});

    c.Timer1 = new IntervalTimer(&owner);
    c.Timer1->setObjectName(QStringLiteral("Timer1"));
    c.Timer2 = new IntervalTimer(&owner);
    c.Timer2->setObjectName(QStringLiteral("Timer2"));
    return c;
}
