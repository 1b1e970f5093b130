#include "Form1.h"

#include "Form1Layout.h"
#include "MainMenu.h"
#include "Startup.h"
#include "browse/FolderBrowser.h"
#include "browse/PanelFitter.h"
#include "browse/PictureLoading.h"
#include "browse/ViewingModes.h"
#include "help/HelpMenu.h"
#include "show/FullScreenView.h"
#include "tray/AutoGoFolder.h"
#include "tray/TrayIcon.h"

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
    m_loading = std::make_unique<PictureLoading>(*this, services);
    m_modes = std::make_unique<ViewingModes>(*this);
    m_fullScreen = std::make_unique<FullScreenView>(*this, services);
    m_trayIcon = std::make_unique<TrayIcon>(*this, services);
    m_autoGo = std::make_unique<AutoGoFolder>(*this, services);
    m_help = std::make_unique<HelpMenu>(*this, services);
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

    PictureLoading *loading = m_loading.get();
    connect(c.File1, &FileListBox::Click, this, [loading] { loading->File1_Click(); });

    ViewingModes *modes = m_modes.get();
    connect(c.menus.Act1, &MenuItem::Click, this, [modes] { modes->Act1_Click(); });
    connect(c.menus.auto1, &MenuItem::Click, this, [modes] { modes->auto1_Click(); });
    connect(c.menus.St1, &MenuItem::Click, this, [modes] { modes->St1_Click(); });
    connect(c.menus.In1, &MenuItem::Click, this, [modes] { modes->In1_Click(); });
    connect(c.menus.Out1, &MenuItem::Click, this, [modes] { modes->Out1_Click(); });
    connect(c.menus.normal1, &MenuItem::Click, this, [modes] { modes->normal1_Click(); });
    connect(c.Image1, &PictureElement::Click, this, [modes] { modes->Image1_Click(); });
    connect(c.Picture5, &PictureBox::Click, this, [modes] { modes->Picture5_Click(); });

    FullScreenView *fullScreen = m_fullScreen.get();
    connect(c.File1, &FileListBox::DblClick, this, [fullScreen] { fullScreen->File1_DblClick(); });
    connect(c.menus.fullscreen1, &MenuItem::Click, this,
            [fullScreen] { fullScreen->fullscreen1_Click(); });

    TrayIcon *tray = m_trayIcon.get();
    connect(c.menus.systray, &MenuItem::Click, this, [tray] { tray->systray_Click(); });
    connect(c.menus.Tray1, &MenuItem::Click, this, [tray] { tray->Tray1_Click(); });
    connect(c.menus.TrayMin1, &MenuItem::Click, this, [tray] { tray->TrayMin1_Click(); });

    AutoGoFolder *autoGo = m_autoGo.get();
    connect(c.menus.Jump1, &MenuItem::Click, this, [autoGo] { autoGo->Jump1_Click(); });
    connect(c.menus.goto1, &MenuItem::Click, this, [autoGo] { autoGo->goto1_Click(); });

    HelpMenu *help = m_help.get();
    connect(c.menus.tip, &MenuItem::Click, this, [help] { help->tip_Click(); });
    connect(c.menus.About1, &MenuItem::Click, this, [help] { help->About1_Click(); });
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
