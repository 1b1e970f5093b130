#include "PictureLoading.h"

#include "FileInfoText.h"
#include "FolderBrowser.h"
#include "HeldKeyWatch.h"
#include "PanelFitter.h"
#include "ShownSize.h"
#include "shell/Form1.h"
#include "shell/Services.h"
#include "shell/platform/FileSystem.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/PictureSource.h"

PictureLoading::PictureLoading(Form1 &hub, const Services &services)
    : m_hub(hub), c(hub.controls()), m_services(services),
      m_lookAhead(services.pictures, services.files), m_keys(new HeldKeyWatch(*c.File1))
{
    // Both are owned here (the watch by the list, but told through this object), so
    // neither calls back after this object is gone.
    QObject::connect(&m_lookAhead, &PictureLookAhead::finished, &m_lookAhead,
                     [this](const QString &path) { pictureDecoded(path); });
    QObject::connect(m_keys, &HeldKeyWatch::released, &m_lookAhead, [this] { keyReleased(); });
}

QString PictureLoading::selectedPath() const
{
    const QString name = c.File1->fileName();
    return name.isEmpty() ? QString() : joinPath(c.File1->path(), name);
}

void PictureLoading::File1_Click()
{
    const QString path = selectedPath();
    m_awaited.clear();
    // A held key moves on without waiting for a picture that is not ready.
    if (!path.isEmpty() && m_keys->isRepeating() && m_lookAhead.isEnabled() &&
        m_lookAhead.find(path).state != PictureLookAhead::State::Ready &&
        showFileInformation(path)) {
        await(path);
        return;
    }
    show(path);
}

void PictureLoading::show(const QString &path)
{
    if (c.menus.Act1->isChecked())
        c.Image1->setStretch(false);
    if (c.menus.auto1->isChecked()) {
        c.Image1->setStretch(false);
        // Kept hidden until the fit has placed it, so the unfitted picture never shows.
        c.Image1->setVisible(false);
    }
    if (!showSelectedFile(path))
        startOver();
}

bool PictureLoading::showSelectedFile(const QString &path)
{
    if (path.isEmpty())
        return true;
    const PictureRef picture = pictureFor(path);
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
    m_lookAhead.keepShown(path, picture);
    lookAround(path);
    return true;
}

PictureRef PictureLoading::pictureFor(const QString &path)
{
    const PictureLookAhead::Found found = m_lookAhead.find(path);
    switch (found.state) {
    case PictureLookAhead::State::Ready:
        return found.picture;
    case PictureLookAhead::State::Failed:
        // The same file, unchanged since it failed: it fails again.
        return nullptr;
    case PictureLookAhead::State::Unknown:
    case PictureLookAhead::State::Reading:
        break;
    }
    return m_services.pictures.load(path);
}

bool PictureLoading::showFileInformation(const QString &path)
{
    const std::optional<qint64> length = m_services.files.fileLength(path);
    const std::optional<QDateTime> modified = m_services.files.lastModified(path);
    if (!length || !modified)
        return false;
    c.Label7->setText(kilobyteText(*length));
    if (c.Label7->text() == QLatin1String("0KB"))
        c.Label7->setText(sizeText(*length));
    c.Label8->setText(dateText(*modified));
    m_hub.setCaption(c.Label2->text() + path);
    c.Label3->setText(path);
    return true;
}

void PictureLoading::await(const QString &path)
{
    m_awaited = path;
    m_lastRow = c.File1->currentRow();
    const ShownSize size = shownSize();
    // Only the file the user is on: its neighbours change faster than they decode.
    m_lookAhead.want(
        {path}, [size](const Picture &picture) { size.prepare(picture); }, size.key());
}

void PictureLoading::pictureDecoded(const QString &path)
{
    if (path != m_awaited || path != selectedPath())
        return;
    // A file that failed is reported once the user stops on it, not while passing by.
    if (m_lookAhead.find(path).state != PictureLookAhead::State::Ready && m_keys->isRepeating())
        return;
    m_awaited.clear();
    show(path);
}

void PictureLoading::keyReleased()
{
    if (m_awaited.isEmpty())
        return;
    if (m_awaited != selectedPath()) {
        m_awaited.clear();
        return;
    }
    switch (m_lookAhead.find(m_awaited).state) {
    case PictureLookAhead::State::Ready:
    case PictureLookAhead::State::Failed:
        pictureDecoded(m_awaited);
        break;
    case PictureLookAhead::State::Reading:
        break;
    case PictureLookAhead::State::Unknown:
        // Whatever decode is still under way belongs to a file passed by.
        m_lookAhead.hurry(m_awaited);
        break;
    }
}

void PictureLoading::lookAround(const QString &path)
{
    const int row = c.File1->currentRow();
    const int step = row < m_lastRow ? -1 : 1;
    m_lastRow = row;
    QStringList wanted{path};
    for (int distance = 1; distance <= kNeighbours; ++distance) {
        for (const int neighbour : {row + step * distance, row - step * distance}) {
            if (neighbour >= 0 && neighbour < c.File1->listCount())
                wanted.append(joinPath(c.File1->path(), c.File1->entry(neighbour)));
        }
    }
    const ShownSize size = shownSize();
    m_lookAhead.want(
        wanted, [size](const Picture &picture) { size.prepare(picture); }, size.key());
}

ShownSize PictureLoading::shownSize() const
{
    const qreal ratio = c.Picture5->devicePixelRatioF();
    if (c.menus.auto1->isChecked())
        return ShownSize::fittedInto({c.Picture5->innerWidth(), c.Picture5->innerHeight()}, ratio);
    if (c.menus.Act1->isChecked())
        return ShownSize::natural(ratio);
    return ShownSize::fixed({c.Image1->width(), c.Image1->height()}, ratio);
}

void PictureLoading::startOver()
{
    m_awaited.clear();
    m_services.messages.show(kNotSupported, MessageBoxes::NoIcon, QStringLiteral("Quorvel"));
    c.Combo1->setText(c.Label1->text());
    m_hub.browser().Dir1_Change();
}
