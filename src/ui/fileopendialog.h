#pragma once

#include "panel/dialogs.h"

#include <QString>

#include <optional>

class QWidget;

namespace qbx::ui {

// CommonDialog1: the window's file-open dialog, kept for the whole run so that the filter and
// the file chosen last are offered again on the next use.
class FileOpenDialog
{
public:
    FileOpenDialog();

    void setInitialDirectory(const QString& directory) { m_request.directory = directory; }
    const FileRequest& request() const { return m_request; }

    // The chosen path, or nullopt when the dialog was cancelled.
    std::optional<QString> choose(QWidget* parent);

private:
    FileRequest m_request;
};

} // namespace qbx::ui
