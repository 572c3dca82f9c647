#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace qbx {

// The manual page, as the window shows it (F1): set as text when the program is built, so that
// the window and 'man qbx7config' say the same.
class ManualDialog : public QDialog
{
    Q_OBJECT

public:
    // The width of the page's longest lines (its examples), and as many lines as read
    // comfortably at once: the page's size where the screen allows.
    static constexpr int kColumns = 86;
    static constexpr int kLines = 32;

    explicit ManualDialog(QWidget* parent);

    QString text() const;

private:
    QPlainTextEdit* m_text;
};

} // namespace qbx
