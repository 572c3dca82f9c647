#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace qbx::ui {

// What the window asks of the platform's file-open dialog.
struct FileOpenRequest
{
    QString title;
    QStringList nameFilters; // in Qt's form: "Printer Demo File (*.dmo)"
    QString selectedFilter;
    QString directory;
    QString selectedFile; // the path chosen last in this run, if any
};

struct FileOpenAnswer
{
    QString path;
    QString selectedFilter;
};

// Shows the dialog modally; nullopt when the user cancels. Tests install their own answer.
using FileOpenHook = std::function<std::optional<FileOpenAnswer>(QWidget* parent, const FileOpenRequest&)>;

// The platform dialog: existing files only, so a typed name of a missing file is refused there.
std::optional<FileOpenAnswer> showPlatformFileOpenDialog(QWidget* parent, const FileOpenRequest& request);

// CommonDialog1: the window's file-open dialog, kept for the whole run so that the filter and
// the file chosen last are offered again on the next use.
class FileOpenDialog
{
public:
    FileOpenDialog();

    void setInitialDirectory(const QString& directory) { m_request.directory = directory; }
    const FileOpenRequest& request() const { return m_request; }
    void setHook(FileOpenHook hook) { m_hook = std::move(hook); }

    // The chosen path, or nullopt when the dialog was cancelled or could not be shown.
    std::optional<QString> choose(QWidget* parent);

private:
    FileOpenRequest m_request;
    FileOpenHook m_hook = showPlatformFileOpenDialog;
};

} // namespace qbx::ui
