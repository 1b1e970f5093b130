#include "Form1.h"

#include "Form1Layout.h"
#include "MainMenu.h"
#include "Startup.h"
#include "browse/FolderBrowser.h"
#include "browse/PanelFitter.h"

#include <QEvent>
#include <QIcon>
#include <QMenuBar>

namespace {

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 128})
        icon.addFile(QStringLiteral(":/icons/quorvel-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

Form1::Form1(const Services &services, const QString &startFolder, QWidget *parent)
    : QMainWindow(parent), m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvel 1.36"));
    setWindowIcon(programIcon());
    // A sizable border and a minimize button, but no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    m_controls = buildForm1Controls(*client, *this, services, startFolder);
    m_controls.menus = buildMainMenu(*menuBar(), *this);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    m_fitter = std::make_unique<PanelFitter>(m_controls);
    m_browser = std::make_unique<FolderBrowser>(*this, services);
    m_startup = std::make_unique<Startup>(*this, services);
    wireEvents();
}

Form1::~Form1() = default;

bool Form1::Form_Load()
{
    return m_startup->Form_Load();
}

void Form1::wireEvents()
{
    Form1Controls &c = m_controls;
    FolderBrowser *browser = m_browser.get();
    PanelFitter *fitter = m_fitter.get();
    Startup *startup = m_startup.get();

    connect(c.Drive1, &DriveListBox::Change, this, [browser] { browser->Drive1_Change(); });
    connect(c.Dir1, &DirListBox::Change, this, [browser] { browser->Dir1_Change(); });
    connect(c.Combo1, &ComboBox::Change, this, [browser] { browser->Combo1_Change(); });
    connect(c.Combo1, &ComboBox::Click, this, [browser] { browser->Combo1_Click(); });
    connect(c.menus.refresh1, &MenuItem::Click, this, [browser] { browser->refresh1_Click(); });

    connect(c.HScroll1, &ScrollBar::Change, this, [fitter] { fitter->HScroll1_Change(); });
    connect(c.VScroll1, &ScrollBar::Change, this, [fitter] { fitter->VScroll1_Change(); });

    connect(c.menus.exitmenu, &MenuItem::Click, this, [startup] { startup->exitmenu_Click(); });
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_fitter->Form_Resize();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Minimizing and restoring count as size changes.
    if (event->type() == QEvent::WindowStateChange)
        m_fitter->Form_Resize();
}
