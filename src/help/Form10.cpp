#include "Form10.h"

#include "platform/controls/TwipsLayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kViewingPanelTips = 4;

QLabel *picture(QWidget *parent, const char *name, const QString &resource, int top, int height)
{
    auto *label = new QLabel(parent);
    placeInTwips(label, name, 2880, top, 2460, height);
    label->setPixmap(QPixmap(resource));
    label->setScaledContents(true);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    return label;
}

} // namespace

QStringList Form10::tips()
{
    return {
        QStringLiteral("In \"Auto-Fit\" Mode..You can One Click the picture for Full Screen "
                       "View..."),
        QStringLiteral("\"Pic's Size \" indicates the Actual Size of the Picture when \"Actual "
                       "Size\" or \"Auto Fit\" is ticked"),
        QStringLiteral("In Any Viewing Mode.You can double click the filename for Full Screen "
                       "View."),
        QStringLiteral("\"Zoom Options\" will be enabled when Actual size Mode is ticked."),
        QStringLiteral("**Recommend Auto-Fit Mode"),
        QStringLiteral("Auto-Fit will be used in any Full Screen Format"),
        QStringLiteral("You can view any large image/picture clearly in Auto-Fit Mode without "
                       "zooming the picture"),
    };
}

Form10::Form10(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("Tips + help "));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    useCompactFont(*this);
    useFixedBorder(*this);
    setFixedSize(twipsAsPixels(5415), twipsAsPixels(4935));

    Frame1 = new QGroupBox(this);
    placeInTwips(Frame1, "Frame1", 0, 0, 5415, 4935);
    Frame2 = new QGroupBox(Frame1);
    placeInTwips(Frame2, "Frame2", 120, 120, 2655, 2895);
    Frame3 = new QGroupBox(Frame1);
    placeInTwips(Frame3, "Frame3", 120, 3000, 2655, 1695);
    for (QGroupBox *frame : {Frame2, Frame3}) {
        auto *column = new QVBoxLayout(frame);
        column->setContentsMargins(4, 2, 4, 2);
        column->setSpacing(3);
    }
    const QStringList texts = tips();
    for (int i = 0; i < texts.size(); ++i) {
        QGroupBox *frame = i < kViewingPanelTips ? Frame2 : Frame3;
        auto *tip = new QLabel(texts.at(i), frame);
        tip->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        tip->setWordWrap(true);
        tip->setTextFormat(Qt::PlainText);
        tip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        frame->layout()->addWidget(tip);
        tipLabels.append(tip);
    }
    for (QGroupBox *frame : {Frame2, Frame3})
        static_cast<QVBoxLayout *>(frame->layout())->addStretch();

    Label8 = new QLabel(QStringLiteral("Viewing Panel:"), Frame1);
    placeInTwips(Label8, "Label8", 2880, 240, 2460, 255);
    Picture1 = picture(Frame1, "Picture1", QStringLiteral(":/help/viewing-panel.png"), 480, 1770);
    Label9 = new QLabel(QStringLiteral("Full Screen View:"), Frame1);
    placeInTwips(Label9, "Label9", 2880, 2520, 2460, 255);
    Picture2 = picture(Frame1, "Picture2", QStringLiteral(":/help/full-screen.png"), 2880, 1860);
}
