#pragma once

#include "doctor/portdoctor.h"

#include <QDialog>

class QTextBrowser;

namespace qbx {

// The findings of the panel's "Test": a summary, then one paragraph a finding, in a text that a
// screen reader reads whole and the keyboard scrolls. Enter or Escape closes it.
class FindingsDialog final : public QDialog
{
    Q_OBJECT

public:
    FindingsDialog(const QString& port, const Findings& findings, QWidget* parent = nullptr);

    // The findings as shown, without markup.
    QString text() const;

private:
    QTextBrowser* m_text;
};

} // namespace qbx
