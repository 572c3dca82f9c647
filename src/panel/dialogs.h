#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace qbx {

// What a file dialog asks: its title, filters in Qt's form ("Printer Demo File (*.dmo)"), the
// filter and folder it starts in, and the file chosen last.
struct FileRequest
{
    enum class Purpose
    {
        Open, // an existing file only: a typed name of a missing file is refused there
        Save,
    };
    Purpose purpose = Purpose::Open;
    QString title;
    QStringList nameFilters;
    QString selectedFilter;
    QString directory;
    QString selectedFile;
};

struct FileAnswer
{
    QString path;
    QString selectedFilter;
};

// Every dialog through which the program tells or asks the user something, in one place, so that
// a test can answer them as a user would, without a dialog on the screen.
class Dialogs
{
public:
    enum class Tone
    {
        Information,
        Warning,
    };

    // Shows a message box over the parent's window without waiting for it; `read` runs once it
    // has been closed.
    static void tell(QWidget* parent, Tone tone, const QString& title, const QString& text,
                     const std::function<void()>& read = {});
    // Asks for a file; nullopt when the user cancels.
    static std::optional<FileAnswer> askFile(QWidget* parent, const FileRequest& request);
    // Shows a dialog that the user reads and closes, without waiting for it; it is deleted once
    // closed.
    static void show(QDialog* dialog);
    // A dialog that a part of the program shows itself (the progress of a transmission) is on
    // the screen.
    static void shown(QDialog& dialog);

    // What a test answers instead of a user; the first file answer is taken by the next file
    // dialog (an empty path cancels it, an empty filter keeps the one offered), and every
    // message is kept instead of being shown.
    struct Answers
    {
        std::deque<FileAnswer> files;
        QList<FileRequest> fileRequests; // every file dialog asked, in order
        QStringList told;
        QList<Tone> tones;                     // of each message told
        std::function<void(QDialog&)> onShown; // each dialog once it is on the screen
        std::function<void()> onTold;          // each message as it is told
    };
    // nullptr: real dialogs again.
    static void answerWith(Answers* answers);
};

} // namespace qbx
