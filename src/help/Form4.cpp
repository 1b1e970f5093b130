#include "Form4.h"

#include "platform/controls/TwipsLayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace {

constexpr int kClientWidth = 4860;
constexpr int kClientHeight = 3315;
constexpr int kSeparatorTop = 2760;
constexpr int kSeparatorRight = 4680;

QLabel *label(QWidget *parent, const char *name, const QString &caption, int left, int top,
              int width, int height)
{
    auto *result = new QLabel(caption, parent);
    placeInTwips(result, name, left, top, width, height);
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    result->setWordWrap(true);
    return result;
}

QLineEdit *readOnlyText(QWidget *parent, const char *name, const QString &text, int top)
{
    auto *box = new QLineEdit(text, parent);
    placeInTwips(box, name, 1320, top, 3135, 285);
    box->setReadOnly(true);
    box->setCursorPosition(0);
    QPalette grey = box->palette();
    grey.setColor(QPalette::Base, QColor(224, 224, 224));
    box->setPalette(grey);
    return box;
}

} // namespace

Form4::Form4(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("About..."));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    useCompactFont(*this);
    useFixedBorder(*this);
    setFixedSize(twipsAsPixels(kClientWidth), twipsAsPixels(kClientHeight));

    Image1 = new QLabel(this);
    placeInTwips(Image1, "Image1", 0, 0, 1260, 2745);
    Image1->setPixmap(QPixmap(QStringLiteral(":/help/about.png")));
    Image1->setScaledContents(true);

    Label1 = label(this, "Label1", kTitleLine, 1320, 120, 3495, 375);
    Label1->setWordWrap(false);
    QFont title(QStringLiteral("MS Sans Serif"));
    title.setStyleHint(QFont::SansSerif);
    title.setPointSize(12);
    title.setBold(true);
    Label1->setFont(title);

    Label4 = label(this, "Label4", QStringLiteral("The Fastest Way to View Pictures!"), 1320, 960,
                   2655, 255);
    Label5 = label(this, "Label5", QStringLiteral("HomePage:"), 1320, 1320, 855, 255);
    // No home page or address has been published for this program yet; the boxes
    // say so rather than point somewhere that is not ours.
    Text1 = readOnlyText(this, "Text1", QStringLiteral("none published yet"), 1680);
    Label6 = label(this, "Label6", QStringLiteral("Email Address:"), 1320, 2040, 1215, 255);
    Text2 = readOnlyText(this, "Text2", QStringLiteral("none published yet"), 2400);
    Label2 = label(this, "Label2",
                   QStringLiteral("WARNING: I am not responsible for any reason if this "
                                  "application causes damage or other any matter(on you or on "
                                  "your computer)"),
                   120, 2880, 4575, 495);
    // A wider substitute font than the usual one gives a smaller size, never a cut line.
    for (QLabel *caption : {Label1, Label4, Label5, Label6, Label2})
        shrinkFontToFit(caption);
}

void Form4::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // The separator: a grey line with a white one under it, an etched rule.
    QPainter painter(this);
    const int y = twipsAsPixels(kSeparatorTop);
    const int right = twipsAsPixels(kSeparatorRight);
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(0, y, right, y);
    painter.setPen(Qt::white);
    painter.drawLine(0, y + 1, right, y + 1);
}
