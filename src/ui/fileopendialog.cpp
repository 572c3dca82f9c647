#include "ui/fileopendialog.h"

namespace qbx::ui {

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
    const std::optional<FileAnswer> answer = Dialogs::askFile(parent, m_request);
    if (!answer || answer->path.isEmpty())
        return std::nullopt;
    m_request.selectedFile = answer->path;
    if (m_request.nameFilters.contains(answer->selectedFilter))
        m_request.selectedFilter = answer->selectedFilter;
    return answer->path;
}

} // namespace qbx::ui
