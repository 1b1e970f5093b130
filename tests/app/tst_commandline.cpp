#include "app/CommandLine.h"

#include <QTest>

using Action = CommandLine::Action;

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTheArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("line");

        const QString here = QStringLiteral("/home/ann/Pictures");
        QTest::newRow("nothing: a plain start")
            << QStringList{} << Action::Start << QString() << QString();
        QTest::newRow("relative name")
            << QStringList{"cat.jpg"} << Action::Start << here + "/cat.jpg" << QString();
        QTest::newRow("dot and dot-dot steps go")
            << QStringList{"../Holidays/./2024/"} << Action::Start
            << QStringLiteral("/home/ann/Holidays/2024") << QString();
        QTest::newRow("current folder") << QStringList{"."} << Action::Start << here << QString();
        QTest::newRow("absolute name kept")
            << QStringList{"/srv/Shared Photos/100% ünï 写真.gif"} << Action::Start
            << QStringLiteral("/srv/Shared Photos/100% ünï 写真.gif") << QString();
        QTest::newRow("a lone dash is a name")
            << QStringList{"-"} << Action::Start << here + "/-" << QString();
        QTest::newRow("after --, dashes start names")
            << QStringList{"--", "-rotated.jpg"} << Action::Start << here + "/-rotated.jpg"
            << QString();
        QTest::newRow("after --, options are names")
            << QStringList{"--", "--version"} << Action::Start << here + "/--version" << QString();

        QTest::newRow("version") << QStringList{"--version"} << Action::PrintVersion << QString()
                                 << QStringLiteral("Quorvel 1.36");
        QTest::newRow("version wins over a name")
            << QStringList{"cat.jpg", "--version"} << Action::PrintVersion << QString()
            << QStringLiteral("Quorvel 1.36");
        QTest::newRow("help") << QStringList{"--help"} << Action::PrintHelp << QString()
                              << CommandLine::kHelpLine;
        QTest::newRow("short help")
            << QStringList{"-h"} << Action::PrintHelp << QString() << CommandLine::kHelpLine;

        QTest::newRow("unknown option")
            << QStringList{"-rotated.jpg"} << Action::Refuse << QString()
            << QStringLiteral("quorvel: unknown option -rotated.jpg (quorvel "
                              "--help tells more)");
        QTest::newRow("two names") << QStringList{"a.jpg", "b.jpg"} << Action::Refuse << QString()
                                   << QStringLiteral("quorvel: one picture or folder at a time "
                                                     "(quorvel --help tells more)");
        QTest::newRow("empty name") << QStringList{""} << Action::Refuse << QString()
                                    << QStringLiteral("quorvel: an empty name names no picture or "
                                                      "folder (quorvel --help tells more)");
    }

    void readsTheArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(QString, path);
        QFETCH(QString, line);

        const CommandLine read =
            CommandLine::parse(arguments, QStringLiteral("/home/ann/Pictures"));
        QCOMPARE(read.action, action);
        QCOMPARE(read.path, path);
        QCOMPARE(read.line, line);
        QVERIFY(!read.line.contains('\n'));
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
