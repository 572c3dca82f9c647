#include "commandline.h"
#include "tcpsink.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

// 'qbx7config doctor': the findings of each port as lines, the exit status by the worst of them.
class TestDoctorCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(QFile::decodeName(qgetenv("HOME")))); } // the saved port's
    void findingsAndStatus_data();
    void findingsAndStatus();
};

void TestDoctorCommand::findingsAndStatus_data()
{
    QTest::addColumn<QStringList>("arguments"); // @folder: a folder; @printer: a listening port
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("problem, then what to do")
        << QStringList{"doctor", "--port", "file:@folder"} << 1
        << "PROBLEM @folder is a folder, not a file.\n    Choose a file in it, such as @folder/QBX740.prn.\n";
    QTest::newRow("nothing in the way") << QStringList{"doctor", "--port", "tcp:127.0.0.1:@printer"} << 0
                                        << "OK 127.0.0.1:@printer accepts connections.\n";
    QTest::newRow("several ports, a blank line between")
        << QStringList{"doctor", "--port", "tcp:127.0.0.1:@printer", "--port", "file:@folder"} << 1
        << "connections.\n\nPROBLEM @folder";
    QTest::newRow("the saved port") << QStringList{"doctor"} << 0 << "QBX740.prn does not exist yet";
    QTest::newRow("json") << QStringList{"doctor", "--json", "--port", "file:@folder"} << 1
                          << "\"level\": \"problem\"";
    QTest::newRow("usage") << QStringList{"doctor", "--port", "nowhere:x"} << 2 << "";
}

void TestDoctorCommand::findingsAndStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QTemporaryDir folder;
    const qbx::test::TcpSink printer;
    const auto expand = [&](QString text) {
        return text.replace("@folder", folder.path()).replace("@printer", QString::number(printer.port()));
    };
    QByteArrayList words;
    for (const QString& a : arguments)
        words << expand(a).toUtf8();
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(qbx::cli::runCommandLine(words, out, err), status);
    QVERIFY2(QString::fromStdString(out.str()).contains(expand(output)), out.str().c_str());
    QVERIFY(printer.received().isEmpty());
}

QTEST_MAIN(TestDoctorCommand)
#include "testdoctorcommand.moc"
