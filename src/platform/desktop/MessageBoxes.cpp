#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon iconForStyle(int style)
{
    switch (style & 0x70) {
    case MessageBoxes::Critical:
        return QMessageBox::Critical;
    case MessageBoxes::Question:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

void QtMessageBoxes::show(const QString &text, int style, const QString &title)
{
    QMessageBox box(iconForStyle(style), title.isEmpty() ? kApplicationTitle : title, text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool QtMessageBoxes::confirm(const QString &text, const QString &title, DefaultAnswer byDefault)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(byDefault == DefaultNo ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}
