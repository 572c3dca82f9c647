#include "ui/manualdialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace qbx {
namespace {

// The page no smaller than this, however small the screen.
constexpr QSize kSmallest(320, 200);

QString manualText()
{
    QFile page(QStringLiteral(":/qbx7config/manual.txt"));
    if (!page.open(QIODevice::ReadOnly))
        return ManualDialog::tr("The manual is missing from this build; 'man qbx7config' shows it.");
    // Without the running head and foot, which are for paper.
    QStringList lines = QString::fromUtf8(page.readAll()).trimmed().split(QLatin1Char('\n'));
    return lines.mid(1, lines.size() - 2).join(QLatin1Char('\n')).trimmed();
}

} // namespace

ManualDialog::ManualDialog(QWidget* parent)
    : QDialog(parent)
    , m_text(new QPlainTextEdit(this))
{
    setWindowTitle(tr("Manual"));
    m_text->setAccessibleName(tr("Manual"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setPlainText(manualText());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(buttons);

    // The page kColumns wide and kLines high, the dialog around it, all within the screen.
    const QFontMetrics metrics(m_text->font());
    const int margins = 2 * (m_text->frameWidth() + qRound(m_text->document()->documentMargin()));
    m_text->setFixedSize(metrics.horizontalAdvance(QString(kColumns, QLatin1Char('x'))) +
                             m_text->verticalScrollBar()->sizeHint().width() + margins,
                         metrics.lineSpacing() * kLines + margins);
    QSize size = sizeHint();
    m_text->setMinimumSize(kSmallest);
    m_text->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);
    // The page first: a screen reader reads it, and the arrows and PgDown scroll it.
    m_text->setFocus();
}

QString ManualDialog::text() const
{
    return m_text->toPlainText();
}

} // namespace qbx
