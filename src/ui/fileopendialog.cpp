#include "ui/fileopendialog.h"

#include <QFileDialog>

namespace qbx::ui {

std::optional<FileOpenAnswer> showPlatformFileOpenDialog(QWidget* parent, const FileOpenRequest& request)
{
    QFileDialog dialog(parent, request.title, request.directory);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(request.nameFilters);
    dialog.selectNameFilter(request.selectedFilter);
    if (!request.selectedFile.isEmpty())
        dialog.selectFile(request.selectedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return FileOpenAnswer{dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

FileOpenDialog::FileOpenDialog()
{
    m_request.title = QStringLiteral("Tesk QBX740A");
    m_request.nameFilters = {
        QStringLiteral("Printer Demo File (*.dmo)"),
        QStringLiteral("Printer Settings File (*.dst)"),
        QStringLiteral("All Files (*)"),
    };
    m_request.selectedFilter = m_request.nameFilters.constFirst();
}

std::optional<QString> FileOpenDialog::choose(QWidget* parent)
{
    const std::optional<FileOpenAnswer> answer = m_hook ? m_hook(parent, m_request) : std::nullopt;
    if (!answer || answer->path.isEmpty())
        return std::nullopt;
    m_request.selectedFile = answer->path;
    if (m_request.nameFilters.contains(answer->selectedFilter))
        m_request.selectedFilter = answer->selectedFilter;
    return answer->path;
}

} // namespace qbx::ui
