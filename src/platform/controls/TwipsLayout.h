#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

// Forms are designed in twips; 15 twips make one pixel.
[[nodiscard]] constexpr int twipsAsPixels(int twips)
{
    return (twips + 7) / 15;
}

// Names a control and puts it at its designed place, given in twips.
inline void placeInTwips(QWidget *widget, const char *name, int left, int top, int width,
                         int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsAsPixels(left), twipsAsPixels(top), twipsAsPixels(width),
                        twipsAsPixels(height));
}

// The small interface font the forms were drawn for.
inline void useCompactFont(QWidget &form)
{
    QFont compact = form.font();
    compact.setPointSizeF(qMin(compact.pointSizeF(), 8.0));
    form.setFont(compact);
}

// Forms were drawn for a narrow interface font; where a caption does not fit its
// designed place in the font at hand, the caption's font steps down a little
// rather than the caption being cut.
inline void shrinkFontToFit(QLabel *label, qreal smallest = 6.5)
{
    QFont font = label->font();
    const auto fits = [label](const QFont &candidate) {
        const QFontMetrics metrics(candidate);
        const QRect room = label->contentsRect();
        const QRect needed = metrics.boundingRect(
            room, (label->wordWrap() ? Qt::TextWordWrap : 0) | int(label->alignment()),
            label->text());
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    while (!fits(font) && font.pointSizeF() - 0.5 >= smallest) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    label->setFont(font);
}

inline void shrinkFontToFit(QPushButton *button, qreal smallest = 6.5)
{
    QFont font = button->font();
    const int room = button->width() - 8;
    while (QFontMetrics(font).horizontalAdvance(button->text().remove(QLatin1Char('&'))) > room &&
           font.pointSizeF() - 0.5 >= smallest)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    button->setFont(font);
}

// A window with a fixed border: a title and a close box, nothing to resize it by.
inline void useFixedBorder(QWidget &form)
{
    form.setWindowFlags((form.windowFlags() & Qt::WindowType_Mask) | Qt::CustomizeWindowHint |
                        Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                        Qt::MSWindowsFixedSizeDialogHint);
}
