#include "ui/manualdialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace qbx {
namespace {

// The width of the page's longest lines (its examples), and as many lines as read comfortably at
// once.
constexpr int kColumns = 86;
constexpr int kLines = 32;

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

    const QFontMetrics metrics(m_text->font());
    QSize size(metrics.horizontalAdvance(QString(kColumns, QLatin1Char('x'))) +
                   m_text->verticalScrollBar()->sizeHint().width() + 4 * m_text->frameWidth(),
               metrics.lineSpacing() * kLines);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    m_text->setMinimumSize(size.boundedTo({320, 200}));
    resize(size + QSize(2 * layout->contentsMargins().left(), buttons->sizeHint().height() * 2));
    // The page first: a screen reader reads it, and the arrows and PgDown scroll it.
    m_text->setFocus();
}

QString ManualDialog::text() const
{
    return m_text->toPlainText();
}

} // namespace qbx
