#include "fileopendialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

using qbx::ui::FileOpenAnswer;
using qbx::ui::FileOpenDialog;
using qbx::ui::FileOpenRequest;

class TestFileOpenDialog : public QObject
{
    Q_OBJECT

private slots:
    void firstUseThenTheLastChoice();
    void cancelChoosesNothing();
    void platformDialogTakesExistingFilesOnly();
};

void TestFileOpenDialog::firstUseThenTheLastChoice()
{
    FileOpenDialog dialog;
    dialog.setInitialDirectory(QStringLiteral("/opt/qbx"));
    QList<FileOpenRequest> seen;
    dialog.setHook([&](QWidget*, const FileOpenRequest& request) {
        seen << request;
        return std::optional<FileOpenAnswer>({"/data/setup.dst", "Printer Settings File (*.dst)"});
    });
    QCOMPARE(dialog.choose(nullptr), std::optional<QString>(QStringLiteral("/data/setup.dst")));
    dialog.choose(nullptr);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).title, QStringLiteral("Tesk QBX740A"));
    QCOMPARE(seen.at(0).nameFilters,
             QStringList({"Printer Demo File (*.dmo)", "Printer Settings File (*.dst)", "All Files (*)"}));
    QCOMPARE(seen.at(0).selectedFilter, QStringLiteral("Printer Demo File (*.dmo)"));
    QCOMPARE(seen.at(0).directory, QStringLiteral("/opt/qbx"));
    QCOMPARE(seen.at(0).selectedFile, QString());
    QCOMPARE(seen.at(1).selectedFile, QStringLiteral("/data/setup.dst"));
    QCOMPARE(seen.at(1).selectedFilter, QStringLiteral("Printer Settings File (*.dst)"));
    QCOMPARE(seen.at(1).directory, QStringLiteral("/opt/qbx"));
}

void TestFileOpenDialog::cancelChoosesNothing()
{
    FileOpenDialog dialog;
    dialog.setHook([](QWidget*, const FileOpenRequest&) { return std::optional<FileOpenAnswer>(); });
    QCOMPARE(dialog.choose(nullptr), std::nullopt);
    QCOMPARE(dialog.request().selectedFile, QString());
    dialog.setHook({}); // no dialog to show at all
    QCOMPARE(dialog.choose(nullptr), std::nullopt);
}

void TestFileOpenDialog::platformDialogTakesExistingFilesOnly()
{
    // The real dialog, examined and cancelled from inside its own event loop.
    FileOpenRequest request = FileOpenDialog().request();
    request.directory = QDir::tempPath();
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode accept = QFileDialog::AcceptSave;
    QString title;
    QStringList filters;
    QTimer::singleShot(0, this, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        mode = shown->fileMode();
        accept = shown->acceptMode();
        title = shown->windowTitle();
        filters = shown->nameFilters();
        shown->reject();
    });
    QCOMPARE(qbx::ui::showPlatformFileOpenDialog(nullptr, request), std::nullopt);
    QCOMPARE(mode, QFileDialog::ExistingFile);
    QCOMPARE(accept, QFileDialog::AcceptOpen);
    QCOMPARE(title, request.title);
    QCOMPARE(filters, request.nameFilters);
}

QTEST_MAIN(TestFileOpenDialog)
#include "testfileopendialog.moc"
