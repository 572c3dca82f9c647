#include "ui/presentertimerentry.h"

#include "settings/catalogue.h"
#include "settings/entrynormalise.h"
#include "settings/leadingnumber.h"
#include "ui/entrybox.h"

#include <QComboBox>

namespace qbx::ui {

PresenterTimerEntry::PresenterTimerEntry(QComboBox* delay, EntryBox* custom, QObject* parent)
    : QObject(parent)
    , m_delay(delay)
    , m_custom(custom)
{
    connect(m_delay, &QComboBox::currentIndexChanged, this, &PresenterTimerEntry::selectionMade);
    connect(m_custom, &EntryBox::leaving, this, &PresenterTimerEntry::normalise);
}

void PresenterTimerEntry::selectionMade()
{
    const QString custom = QString::fromUtf8(kCustomDelay.data(), qsizetype(kCustomDelay.size()));
    m_custom->setVisible(m_delay->currentText() == custom);
}

void PresenterTimerEntry::normalise()
{
    const double seconds = normalisePresenterDelay(leadingNumber(m_custom->text().toStdString()));
    m_custom->setText(QString::fromStdString(presenterDelayText(seconds)));
}

} // namespace qbx::ui
