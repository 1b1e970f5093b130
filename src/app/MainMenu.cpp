#include "MainMenu.h"

#include <QMenu>
#include <QMenuBar>

namespace {

struct MenuRow {
    int level;
    MenuItem *Form1Menus::*member;
    const char *name;
    const char *caption;
};

// Level 1 is the menu bar. A row is a submenu when the next row is one level deeper.
// Captions are exact, spaces and quotes included; "-" is a separator.
const MenuRow kMenuTree[] = {
    {1, &Form1Menus::filemenu, "filemenu", "&File"},
    {2, &Form1Menus::Copyto, "Copyto", "Copy Pic To ..."},
    {3, &Form1Menus::clip1, "clip1", "ClipBoard.."},
    {2, &Form1Menus::copy1, "copy1", "Copy File To  ..."},
    {3, &Form1Menus::temp1, "temp1", "Temp "},
    {3, &Form1Menus::home1, "home1", "HomePage "},
    {3, &Form1Menus::work1, "work1", "For Work"},
    {3, &Form1Menus::per1, "per1", "Personal "},
    {3, &Form1Menus::future1, "future1", "Future Use "},
    {2, &Form1Menus::view2, "view2", "Paste To View"},
    {2, &Form1Menus::line4, "line4", "-"},
    {2, &Form1Menus::run1, "run1", "Run File Now..."},
    {2, &Form1Menus::delete_, "delete", "Delete File..."},
    {2, &Form1Menus::line8, "line8", "-"},
    {2, &Form1Menus::refresh1, "refresh1", "Refresh Folder..."},
    {2, &Form1Menus::systray, "systray", "Minimize to SysTray..."},
    {2, &Form1Menus::line5, "line5", "-"},
    {2, &Form1Menus::exitmenu, "exitmenu", "Exit"},
    {1, &Form1Menus::optionmenu, "optionmenu", "&Option   View"},
    {2, &Form1Menus::zoom1, "zoom1", "Zoom Picture"},
    {3, &Form1Menus::In1, "In1", "Zoom in +"},
    {3, &Form1Menus::Out1, "Out1", "Zoom out -"},
    {3, &Form1Menus::normal1, "normal1", "UnZoom..."},
    {2, &Form1Menus::fullscreen1, "fullscreen1", "Full Screen View..."},
    {2, &Form1Menus::line, "line", "-"},
    {2, &Form1Menus::St1, "St1", "Stretched Size"},
    {2, &Form1Menus::auto1, "auto1", "Auto-Fit Size"},
    {2, &Form1Menus::Act1, "Act1", "Actual Size"},
    {2, &Form1Menus::line2, "line2", "-"},
    {2, &Form1Menus::fullscreen, "fullscreen", "Full Screen SlideShow..."},
    {2, &Form1Menus::viewmenu, "viewmenu", "Win Mode SlideShow..."},
    {2, &Form1Menus::adjustmenu, "adjustmenu", "Adjust Speed..."},
    {2, &Form1Menus::line3, "line3", "-"},
    {2, &Form1Menus::startup, "startup", "Loading Option.."},
    {3, &Form1Menus::Jump1, "Jump1", "Go to \"Folder\""},
    {3, &Form1Menus::TrayMin1, "TrayMin1", "Minimize to \"SysTray\""},
    {2, &Form1Menus::line20, "line20", "-"},
    {2, &Form1Menus::go1, "go1", "View My \"VozeviZire\""},
    {2, &Form1Menus::goto1, "goto1", "Go to \"Folder\" Now"},
    {1, &Form1Menus::help1, "help1", "&Help"},
    {2, &Form1Menus::tip, "tip", "Tips..."},
    {2, &Form1Menus::About1, "About1", "About..."},
    {1, &Form1Menus::pause1, "pause1", "&Pause"},
    {1, &Form1Menus::play1, "play1", "&Resume"},
    {1, &Form1Menus::copyf, "copyf", "C&opy -> VozeviZire"},
    {2, &Form1Menus::temp2, "temp2", "Temp"},
    {2, &Form1Menus::line15, "line15", "-"},
    {2, &Form1Menus::home2, "home2", "HomePage"},
    {2, &Form1Menus::line16, "line16", "-"},
    {2, &Form1Menus::work2, "work2", "For Work"},
    {2, &Form1Menus::line13, "line13", "-"},
    {2, &Form1Menus::per2, "per2", "Personal"},
    {2, &Form1Menus::line14, "line14", "-"},
    {2, &Form1Menus::future2, "future2", "Future Use"},
    {1, &Form1Menus::speed3, "speed3", "S&peed.."},
    {2, &Form1Menus::fastest1, "fastest1", "Fastest"},
    {2, &Form1Menus::line11, "line11", "-"},
    {2, &Form1Menus::fast1, "fast1", "Fast"},
    {2, &Form1Menus::line6, "line6", "-"},
    {2, &Form1Menus::medium1, "medium1", "Medium"},
    {2, &Form1Menus::line7, "line7", "-"},
    {2, &Form1Menus::slow1, "slow1", "Slow"},
    {2, &Form1Menus::line12, "line12", "-"},
    {2, &Form1Menus::slowest1, "slowest1", "Slowest"},
    {1, &Form1Menus::Tray1, "Tray1", "SysTr&ay..."},
    {1, &Form1Menus::stop1, "stop1", "&Cancel"},
};

} // namespace

Form1Menus buildMainMenu(QMenuBar &bar, QObject &owner)
{
    Form1Menus menus{};
    // parents[level] is the menu that takes items of level + 1.
    QWidget *parents[4] = {nullptr, &bar, nullptr, nullptr};
    const auto rowCount = static_cast<int>(std::size(kMenuTree));
    for (int i = 0; i < rowCount; ++i) {
        const MenuRow &row = kMenuTree[i];
        const bool opensSubmenu = i + 1 < rowCount && kMenuTree[i + 1].level > row.level;
        QWidget *parent = parents[row.level];
        const QString name = QString::fromLatin1(row.name);
        const QString caption = QString::fromUtf8(row.caption);
        MenuItem *item = nullptr;
        if (opensSubmenu) {
            auto *menu = new QMenu(caption, parent);
            item = new MenuItem(name, menu, &owner);
            parents[row.level + 1] = menu;
        } else {
            item = new MenuItem(name, caption, &owner);
        }
        parent->addAction(item->action());
        menus.*(row.member) = item;
    }
    for (MenuItem *item :
         {menus.pause1, menus.play1, menus.copyf, menus.speed3, menus.Tray1, menus.stop1})
        item->setVisible(false);
    return menus;
}
