#include "porttest.h"
#include "tcpsink.h"
#include "windowfixture.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

using qbx::test::RecordingPort;
using qbx::test::WindowFixture;
using qbx::test::writeFile;
using qbx::ui::FileOpenDialog;
using Call = RecordingPort::Call;

class TestDataFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void chosenFile_data()
    {
        QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason"); // empty: sent unchanged, or quietly nothing

        QByteArray every("A\r\nB\nC\rD\n\r", 11); // line ends kept as they are
        for (int i = 0; i < 256; ++i)
            every.append(char(i));
        QTest::newRow("every byte value") << "demo.dmo" << every << QString();
        QTest::newRow("dialog cancelled, quietly") << QString() << QByteArray() << QString();
        QTest::newRow("gone since it was chosen") << "gone.dmo" << QByteArray() << "does not exist";
        QTest::newRow("no read permission") << "locked.dmo" << QByteArray("data") << "you may not read it";
        QTest::newRow("a device, no file") << "/dev/null" << QByteArray() << "not a regular file";
    }

    void chosenFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString chosen = name.isEmpty() || QDir::isAbsolutePath(name) ? name : m_dir.filePath(name);
        if (!bytes.isEmpty())
            writeFile(chosen, bytes);
        if (name == QLatin1String("locked.dmo")) {
            if (::geteuid() == 0)
                QSKIP("root reads every file");
            QVERIFY(QFile::setPermissions(chosen, {}));
        }

        WindowFixture f;
        f.dialogs.files = {{chosen, {}}, {chosen, {}}};
        f.port.calls.clear();
        f.clickAndWait("butPrintFile");
        f.clickAndWait("butPrintFile");

        QCOMPARE(f.dialogs.fileRequests.size(), 2);
        const bool sent = reason.isEmpty() && !name.isEmpty();
        const std::vector<Call> once{{Call::Open, {}}, {Call::Write, bytes.toStdString()}, {Call::Close, {}}};
        std::vector<Call> expected;
        if (sent)
            expected = {once[0], once[1], once[2], once[0], once[1], once[2]};
        QCOMPARE(f.port.calls, expected);
        QCOMPARE(f.dialogs.told.size(), reason.isEmpty() ? 0 : 2);
        for (const QString& message : std::as_const(f.dialogs.told)) {
            QVERIFY2(message.contains(chosen), qPrintable(message));
            QVERIFY2(message.contains(reason, Qt::CaseInsensitive), qPrintable(message));
        }
        // Nothing is created in the name of a file that is not there.
        QCOMPARE(QFileInfo::exists(chosen), name != QLatin1String("gone.dmo") && !name.isEmpty());
    }

    void largeFileThroughANetworkPrinter()
    {
        QByteArray bytes(3 * 1024 * 1024 + 8, Qt::Uninitialized); // pieces and a rest
        QRandomGenerator generator(740);
        generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        writeFile(path("large.dst"), bytes);
        qbx::test::TcpSink printer;

        WindowFixture f(WindowFixture::Printer::PanelPort);
        qbx::PortSession& session = f.panel().session();
        // After the window's start-up has loaded the saved choice: this run prints to our printer.
        f.panel().setConfig(qbx::test::tcpAt(QStringLiteral("127.0.0.1"), printer.port()));
        f.dialogs.files = {{path("large.dst"), {}}};
        f.clickAndWait("butPrintFile");

        QCOMPARE(f.dialogs.told, QStringList());
        // The progress is of the whole file, not of each piece.
        const qbx::TransmissionStatus status = session.status();
        QCOMPARE(std::pair(status.done, status.total), std::pair(qint64(bytes.size()), qint64(bytes.size())));
        QVERIFY(printer.received() == bytes);
        // What happened is said on the main page, a failure as well as a success.
        const auto said = [&f] { return f.control<QLabel>("labStatus")->text(); };
        QVERIFY2(
            said().startsWith(QStringLiteral("Sent large.dst to 127.0.0.1:%1 (3.0 MB, ").arg(printer.port())),
            qPrintable(said()));
        f.panel().setConfig(qbx::test::tcpAt(QStringLiteral("127.0.0.1"), qbx::test::TcpSink().port()));
        f.dialogs.files = {{path("large.dst"), {}}};
        f.clickAndWait("butPrintFile");
        QVERIFY2(said().startsWith(QStringLiteral("Failed: Cannot connect to 127.0.0.1:")),
                 qPrintable(said()));
    }

    void dialogFirstUseThenTheLastChoice()
    {
        FileOpenDialog dialog;
        dialog.setInitialDirectory(QStringLiteral("/opt/qbx"));
        qbx::test::DialogAnswers answers;
        answers.files = {{"/data/setup.dst", "Printer Settings File (*.dst)"}, {}}; // then cancelled
        QCOMPARE(dialog.choose(nullptr), std::optional<QString>(QStringLiteral("/data/setup.dst")));
        // Cancelled: nothing chosen, the last choice kept.
        QCOMPARE(dialog.choose(nullptr), std::nullopt);
        QStringList seen; // title|filters|selected filter|folder|selected file
        for (const qbx::FileRequest& r : std::as_const(answers.fileRequests))
            seen << QStringList{r.title, r.nameFilters.join(u';'), r.selectedFilter, r.directory,
                                r.selectedFile}
                        .join(u'|');
        const QString offered =
            "Tesk QBX740A|Printer Demo File (*.dmo);Printer Settings File (*.dst);All Files (*)|";
        QCOMPARE(seen, (QStringList{offered + "Printer Demo File (*.dmo)|/opt/qbx|",
                                    offered + "Printer Settings File (*.dst)|/opt/qbx|/data/setup.dst"}));
        QCOMPARE(dialog.request().selectedFile, QStringLiteral("/data/setup.dst"));
    }

    void platformDialogTakesExistingFilesOnly()
    {
        // The real dialog, examined and cancelled from inside its own event loop.
        qbx::FileRequest request = FileOpenDialog().request();
        request.directory = QDir::tempPath();
        request.selectedFilter = request.nameFilters.at(1);
        request.selectedFile = QDir::temp().filePath(QStringLiteral("last.dmo"));
        const auto seenAs = [](int mode, int accept, const QString& title, const QStringList& filters,
                               const QString& selected, const QString& file) {
            return QStringList{
                QString::number(mode), QString::number(accept), title, filters.join(u'|'), selected, file};
        };
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            if (auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                seen =
                    seenAs(shown->fileMode(), shown->acceptMode(), shown->windowTitle(), shown->nameFilters(),
                           shown->selectedNameFilter(), shown->selectedFiles().value(0));
                shown->reject();
            }
        });
        QVERIFY(!qbx::Dialogs::askFile(nullptr, request));
        QCOMPARE(seen, seenAs(QFileDialog::ExistingFile, QFileDialog::AcceptOpen, request.title,
                              request.nameFilters, request.selectedFilter, request.selectedFile));
    }

    // Without a test's answers, a message box comes up over the window and the caller goes on; what
    // follows the message runs once the user has closed it.
    void aMessageComesUpWithoutWaiting()
    {
        QWidget window;
        window.show();
        bool read = false;
        qbx::Dialogs::tell(&window, qbx::Dialogs::Tone::Information, QStringLiteral("Printer port"),
                           QStringLiteral("Stored."), [&read] { read = true; });
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box && box->isVisible() && box->parentWidget() == &window);
        QCOMPARE(std::pair(box->text(), box->icon()),
                 std::pair(QStringLiteral("Stored."), QMessageBox::Information));
        QVERIFY(!read);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(read);
    }
};

QTEST_MAIN(TestDataFile)
#include "testdatafile.moc"
