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
    void platformDialogTakesExistingFilesOnly();
};

void TestFileOpenDialog::firstUseThenTheLastChoice()
{
    FileOpenDialog dialog;
    dialog.setInitialDirectory(QStringLiteral("/opt/qbx"));
    QList<FileOpenRequest> seen;
    std::optional<FileOpenAnswer> answer = FileOpenAnswer{"/data/setup.dst", "Printer Settings File (*.dst)"};
    dialog.setHook([&](QWidget*, const FileOpenRequest& request) {
        seen << request;
        return answer;
    });
    QCOMPARE(dialog.choose(nullptr), std::optional<QString>(QStringLiteral("/data/setup.dst")));
    answer.reset(); // cancelled: nothing chosen, the last choice kept
    QCOMPARE(dialog.choose(nullptr), std::nullopt);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(0).title, QStringLiteral("Tesk QBX740A"));
    QCOMPARE(seen.at(0).nameFilters,
             QStringList({"Printer Demo File (*.dmo)", "Printer Settings File (*.dst)", "All Files (*)"}));
    QCOMPARE(seen.at(0).selectedFilter, QStringLiteral("Printer Demo File (*.dmo)"));
    QCOMPARE(seen.at(0).directory, QStringLiteral("/opt/qbx"));
    QCOMPARE(seen.at(0).selectedFile, QString());
    QCOMPARE(seen.at(1).selectedFile, QStringLiteral("/data/setup.dst"));
    QCOMPARE(seen.at(1).selectedFilter, QStringLiteral("Printer Settings File (*.dst)"));
    QCOMPARE(dialog.request().selectedFile, QStringLiteral("/data/setup.dst"));
    dialog.setHook({}); // no dialog to show at all
    QCOMPARE(dialog.choose(nullptr), std::nullopt);
}

void TestFileOpenDialog::platformDialogTakesExistingFilesOnly()
{
    // The real dialog, examined and cancelled from inside its own event loop.
    FileOpenRequest request = FileOpenDialog().request();
    request.directory = QDir::tempPath();
    request.selectedFilter = request.nameFilters.at(1);
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode accept = QFileDialog::AcceptSave;
    QString title;
    QStringList filters;
    QString selected;
    QTimer::singleShot(0, this, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!shown)
            return;
        mode = shown->fileMode();
        accept = shown->acceptMode();
        title = shown->windowTitle();
        filters = shown->nameFilters();
        selected = shown->selectedNameFilter();
        shown->reject();
    });
    QCOMPARE(qbx::ui::showPlatformFileOpenDialog(nullptr, request), std::nullopt);
    QCOMPARE(mode, QFileDialog::ExistingFile);
    QCOMPARE(accept, QFileDialog::AcceptOpen);
    QCOMPARE(title, request.title);
    QCOMPARE(filters, request.nameFilters);
    QCOMPARE(selected, request.selectedFilter);
}

QTEST_MAIN(TestFileOpenDialog)
#include "testfileopendialog.moc"
