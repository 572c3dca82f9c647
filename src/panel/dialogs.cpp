#include "panel/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace qbx {
namespace {

Dialogs::Answers* g_answers = nullptr;

std::optional<FileAnswer> askPlatform(QWidget* parent, const FileRequest& request)
{
    QFileDialog dialog(parent, request.title, request.directory);
    // A new dialog takes any file name and opens; saving needs only its accept mode.
    if (request.purpose == FileRequest::Purpose::Open)
        dialog.setFileMode(QFileDialog::ExistingFile);
    else
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        dialog.selectNameFilter(request.selectedFilter);
    }
    if (!request.selectedFile.isEmpty())
        dialog.selectFile(request.selectedFile);
    // The user is asked: the one place where the program waits for a dialog.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return FileAnswer{dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

} // namespace

void Dialogs::tell(QWidget* parent, Tone tone, const QString& title, const QString& text,
                   const std::function<void()>& read)
{
    if (g_answers) {
        g_answers->told.append(text);
        g_answers->tones.append(tone);
        if (g_answers->onTold)
            g_answers->onTold();
        if (read)
            read();
        return;
    }
    auto* box = new QMessageBox(tone == Tone::Information ? QMessageBox::Information : QMessageBox::Warning,
                                title, text, QMessageBox::Ok, parent ? parent->window() : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (read)
        QObject::connect(box, &QMessageBox::finished, box, read);
    box->open();
}

std::optional<FileAnswer> Dialogs::askFile(QWidget* parent, const FileRequest& request)
{
    if (!g_answers)
        return askPlatform(parent, request);
    g_answers->fileRequests.append(request);
    if (g_answers->files.empty())
        return std::nullopt;
    FileAnswer answer = g_answers->files.front();
    g_answers->files.pop_front();
    if (answer.path.isEmpty())
        return std::nullopt;
    if (answer.selectedFilter.isEmpty())
        answer.selectedFilter = request.selectedFilter;
    return answer;
}

void Dialogs::show(QDialog* dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    // Once the dialog has come up, as a user would meet it.
    QTimer::singleShot(0, dialog, [dialog] { shown(*dialog); });
}

void Dialogs::shown(QDialog& dialog)
{
    if (g_answers && g_answers->onShown)
        g_answers->onShown(dialog);
}

void Dialogs::answerWith(Answers* answers)
{
    g_answers = answers;
}

} // namespace qbx
