#include "Form7.h"

#include "platform/controls/MenuItem.h"

#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>

namespace {

// Laid out in twips, fifteen to the pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

struct MenuRow {
    MenuItem *Form7::*member;
    const char *name;
    const char *caption;
};

// A menu of the bar: its entry, then its items ("-" is a separator).
MenuItem *addMenu(QMenuBar &bar, Form7 &owner, const MenuRow &entry,
                  std::initializer_list<MenuRow> items)
{
    auto *menu = new QMenu(QString::fromUtf8(entry.caption), &bar);
    auto *menuItem = new MenuItem(QLatin1String(entry.name), menu, &owner);
    bar.addAction(menuItem->action());
    for (const MenuRow &row : items) {
        auto *item = new MenuItem(QLatin1String(row.name), QString::fromUtf8(row.caption), &owner);
        menu->addAction(item->action());
        owner.*(row.member) = item;
    }
    return menuItem;
}

QPushButton *button(QWidget *parent, const char *name, const char *caption, int left, int width)
{
    auto *command = new QPushButton(QString::fromUtf8(caption), parent);
    command->setObjectName(QLatin1String(name));
    command->setGeometry(px(left), px(240), px(width), px(375));
    return command;
}

} // namespace

Form7::Form7(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_menuBar(new QMenuBar(this))
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Quorvel - Option"));
    setAttribute(Qt::WA_DeleteOnClose);

    copy1 = addMenu(*m_menuBar, *this, {nullptr, "copy1", "C&opy -> VozeviZire"},
                    {{&Form7::temp1, "temp1", "Temp"},
                     {&Form7::line1, "line1", "-"},
                     {&Form7::h1, "h1", "HomePage"},
                     {&Form7::line2, "line2", "-"},
                     {&Form7::f1, "f1", "For Work"},
                     {&Form7::line3, "line3", "-"},
                     {&Form7::pp1, "pp1", "Personal"},
                     {&Form7::line4, "line4", "-"},
                     {&Form7::fu1, "fu1", "Future Use"}});
    speed1 = addMenu(*m_menuBar, *this, {nullptr, "speed1", "&Speed..."},
                     {{&Form7::fastest1, "fastest1", "Fastest"},
                      {&Form7::line5, "line5", "-"},
                      {&Form7::fast1, "fast1", "Fast"},
                      {&Form7::line6, "line6", "-"},
                      {&Form7::medium1, "medium1", "Medium"},
                      {&Form7::line7, "line7", "-"},
                      {&Form7::slow1, "slow1", "Slow"},
                      {&Form7::line8, "line8", "-"},
                      {&Form7::slowest1, "slowest1", "Slowest"}});

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Command1 = button(Frame1, "Command1", "&Cancel", 120, 855);
    Command2 = button(Frame1, "Command2", "Co&ntinuous", 1080, 975);
    Command3 = button(Frame1, "Command3", "&Exit", 2160, 855);
    // A caption wider than its button in this desktop's font widens the button, and
    // the buttons after it move along.
    int right = 0;
    for (QPushButton *command : {Command1, Command2, Command3}) {
        const int gap = right == 0 ? 0 : px(105);
        const int left = std::max(command->x(), right + gap);
        const int width = std::max(command->width(), command->sizeHint().width());
        command->setGeometry(left, command->y(), width, command->height());
        right = left + width;
    }
    const int menuHeight = m_menuBar->sizeHint().height();
    Frame1->setGeometry(px(120), menuHeight, right + px(120), px(735));
    m_menuBar->setGeometry(0, 0, Frame1->geometry().right() + px(120), menuHeight);
    setFixedSize(Frame1->geometry().right() + px(120), menuHeight + px(855));
}
