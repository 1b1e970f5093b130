#include "FullScreenView.h"

#include "Form8.h"
#include "ScreenPlacement.h"
#include "platform/controls/Form1Controls.h"
#include "platform/controls/PictureBox.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/desktop/Services.h"

FullScreenView::FullScreenView(const QWidget &window, Form1Controls &controls,
                               const Services &services)
    : m_window(window), c(controls), m_services(services),
      m_ahead(services.decodePool, services.files)
{
}

void FullScreenView::pictureShown(const QString &path, const PictureRef &picture)
{
    m_ahead.prepare(path, picture, m_services.screen.geometryNear(&m_window).size(),
                    m_window.devicePixelRatioF());
}

FullScreenView::~FullScreenView()
{
    delete m_form;
}

void FullScreenView::File1_DblClick()
{
    // The screen's real size, in device-independent pixels, so that the picture is
    // centred on any display.
    const QRect screen = m_services.screen.geometryNear(&m_window);
    if (!m_form) {
        m_form = new Form8();
        m_form->Picture1->setDecodePool(m_services.decodePool);
        QObject::connect(m_form, &Form8::unloadRequested, m_form, [this] { unload(); });
    }
    m_form->cover(screen);

    const PictureRef shown = c.Image1->picture();
    PictureElement &image = *m_form->Image1;
    image.setVisible(false);
    image.setPicture(m_ahead.pictureFor(shown));
    image.setStretch(false);
    fitAndCentreOnScreen(image, {m_form->Picture1->innerWidth(), m_form->Picture1->innerHeight()},
                         screen.size());
    image.setVisible(true);
    // Opened before its raster was made (the second press of a double-click can come
    // first): the picture shows coarse at once, and sharp, in the same place, once the
    // raster is made.
    if (m_ahead.standsInFor(shown)) {
        m_ahead.whenMade(m_form, [this, shown, standIn = image.picture()] {
            if (m_form && m_form->Image1->picture() == standIn)
                m_form->Image1->setPicture(m_ahead.pictureFor(shown));
        });
    }
}

Form8 *FullScreenView::form() const
{
    return m_form;
}

void FullScreenView::unload()
{
    // Called from the view's own click: it goes once that event is over.
    if (m_form) {
        m_form->hide();
        m_form->deleteLater();
        m_form = nullptr;
    }
}
