// The least a Qt Widgets program can do between its start and a picture on screen: a
// window that paints itself green at once, decoding nothing. Started like a viewer,
// with the picture's path (unused), it is the floor under any viewer built on the
// same toolkit.

#include <QApplication>
#include <QPainter>
#include <QWidget>

namespace {

class GreenWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), QColor(0, 255, 0)); }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    GreenWindow window;
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
