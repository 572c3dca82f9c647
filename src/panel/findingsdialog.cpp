#include "panel/findingsdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace qbx {
namespace {

QString summary(const QString& port, const Findings& findings)
{
    const int problems = countFindings(findings, Finding::Level::Problem);
    const int warnings = countFindings(findings, Finding::Level::Warning);
    if (problems + warnings == 0)
        return FindingsDialog::tr("%1: nothing stands in the way.").arg(port);
    const auto counted = [](int n, const QString& one, const QString& many) {
        return (n == 1 ? one : many).arg(n);
    };
    return QStringLiteral("%1: %2, %3.")
        .arg(port, counted(problems, FindingsDialog::tr("%1 problem"), FindingsDialog::tr("%1 problems")),
             counted(warnings, FindingsDialog::tr("%1 warning"), FindingsDialog::tr("%1 warnings")));
}

QString paragraphs(const Findings& findings)
{
    QString html;
    for (const Finding& f : findings) {
        html += QStringLiteral("<p><b>%1</b> %2").arg(levelName(f.level), f.problem.what.toHtmlEscaped());
        if (!f.problem.todo.isEmpty())
            html += QStringLiteral("<br>%1").arg(f.problem.todo.toHtmlEscaped());
        html += QStringLiteral("</p>");
    }
    return html;
}

} // namespace

FindingsDialog::FindingsDialog(const QString& port, const Findings& findings, QWidget* parent)
    : QDialog(parent)
    , m_text(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("portTestFindings"));
    setWindowTitle(tr("Printer port test"));
    setAccessibleName(tr("Printer port test results"));
    auto* heading = new QLabel(summary(port, findings), this);
    heading->setWordWrap(true);
    m_text->setAccessibleName(tr("Findings"));
    m_text->setHtml(paragraphs(findings));
    m_text->setMinimumSize(420, 200);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);
    // The findings first: a screen reader starts reading them, and the arrows scroll them.
    m_text->setFocus();
}

QString FindingsDialog::text() const
{
    return m_text->toPlainText();
}

} // namespace qbx
