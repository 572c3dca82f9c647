#include "panel/portpages.h"

#include "port/portkinds.h"
#include "port/queuetransport.h"
#include "port/serialtransport.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>

namespace qbx {
namespace {

QGridLayout* pageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    return grid;
}

// A list keeps the width of so many characters, whatever its entries (queue names, device paths,
// "XON/XOFF"); the open list shows them whole. No list has icons, so none needs room for one.
void keepNarrow(QComboBox* combo, int characters)
{
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(characters);
    combo->setIconSize(QSize(0, 0));
}

QComboBox* namedCombo(QWidget* parent, const char* objectName, const QString& accessibleName)
{
    auto* combo = new QComboBox(parent);
    nameField(combo, objectName, accessibleName);
    return combo;
}

QToolButton* namedButton(QWidget* parent, const char* objectName, const QString& text,
                         const QString& accessibleName)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    nameField(button, objectName, accessibleName);
    return button;
}

// Selects the entry whose data is the value, adding it (as the user's own) when it is not listed.
void selectData(QComboBox* combo, const QVariant& value, const QString& text)
{
    int index = combo->findData(value);
    if (index < 0) {
        combo->addItem(text, value);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

} // namespace

void nameField(QWidget* field, const char* objectName, const QString& accessibleName)
{
    field->setObjectName(QString::fromLatin1(objectName));
    field->setAccessibleName(accessibleName);
    field->setToolTip(accessibleName);
}

QLabel* labelFor(QWidget* buddy, const QString& text)
{
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

DeviceList::DeviceList(Reader reader, Reading reading, QWidget* parent)
    : QComboBox(parent)
    , m_reader(std::move(reader))
    , m_reading(reading)
{}

void DeviceList::showPopup()
{
    if (!m_read || m_reading == Reading::EveryOpening)
        read();
    QComboBox::showPopup();
}

void DeviceList::read()
{
    const QString chosen = currentText(); // typed or picked
    QString whyNone;
    {
        // The choice only looks away while the entries are replaced; it is not an edit.
        const QSignalBlocker quiet(this);
        clear();
        for (const QString& name : m_reader(&whyNone))
            addItem(name, name);
        // Nothing chosen stays so: an entry shown would pass for a choice that the port never took.
        choose(chosen);
        m_read = true;
    }
    if (count() == 0)
        setPlaceholderText(whyNone.isEmpty() ? m_noneFound : whyNone);
}

void DeviceList::choose(const QString& name)
{
    if (name.isEmpty()) {
        setCurrentIndex(-1);
        return;
    }
    selectData(this, name, name);
    if (isEditable())
        setEditText(name);
}

void DeviceList::setPlaceholders(const QString& unread, const QString& noneFound)
{
    m_noneFound = noneFound;
    setPlaceholderText(unread); // until the first read
}

PortPage::PortPage(Edited edited, QWidget* parent)
    : QWidget(parent)
    , m_edited(std::move(edited))
{}

FilePage::FilePage(Edited edited, Chooser chooser, QWidget* parent)
    : PortPage(std::move(edited), parent)
    , m_path(new QLineEdit(this))
    , m_chooser(std::move(chooser))
{
    nameField(m_path, "portFilePath", tr("Output file"));
    m_path->setMaxLength(int(portField(PortConfig::Kind::File, "path").highest));
    auto* browse = namedButton(this, "portFileBrowse", tr("..."), tr("Browse for the output file"));
    auto* grid = pageGrid(this);
    grid->addWidget(labelFor(m_path, tr("&File")), 0, 0);
    grid->addWidget(m_path, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->setRowStretch(1, 1);
    connect(m_path, &QLineEdit::textChanged, this, &FilePage::edited);
    connect(browse, &QToolButton::clicked, this, [this] {
        const QString path = m_chooser(m_path->text());
        if (!path.isEmpty())
            m_path->setText(path);
    });
}

void FilePage::apply(const PortConfig& config)
{
    m_path->setText(config.filePath);
}

void FilePage::take(PortConfig& config) const
{
    config.filePath = m_path->text();
}

FieldsPage::FieldsPage(Edited edited, const PortKind& kind, QWidget* parent)
    : PortPage(std::move(edited), parent)
    , m_kind(kind)
{
    auto* grid = pageGrid(this);
    for (const PortField& field : kind.fields) {
        QWidget* widget = nullptr;
        if (field.type == PortField::Type::Number) {
            auto* number = new QSpinBox(this);
            number->setRange(int(field.lowest), int(field.highest));
            connect(number, &QSpinBox::valueChanged, this, &FieldsPage::edited);
            widget = number;
        } else if (field.type == PortField::Type::Choice) {
            auto* choice = new QComboBox(this);
            choice->addItems(field.choices);
            connect(choice, &QComboBox::currentIndexChanged, this, &FieldsPage::edited);
            widget = choice;
        } else {
            auto* text = new QLineEdit(this);
            text->setMaxLength(int(field.highest));
            if (field.hint)
                text->setPlaceholderText(tr(field.hint));
            connect(text, &QLineEdit::textChanged, this, &FieldsPage::edited);
            widget = text;
        }
        nameField(widget, field.widgetName, tr(field.accessibleName));
        const int row = int(m_fields.size());
        grid->addWidget(labelFor(widget, tr(field.label)), row, 0);
        grid->addWidget(widget, row, 1, 1, qobject_cast<QLineEdit*>(widget) ? 3 : 1);
        m_fields.push_back(widget);
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(int(m_fields.size()), 1);
}

void FieldsPage::apply(const PortConfig& config)
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const QVariant value = m_kind.fields[i].member.get(config);
        if (auto* number = qobject_cast<QSpinBox*>(m_fields[i]))
            number->setValue(value.toInt());
        else if (auto* choice = qobject_cast<QComboBox*>(m_fields[i]))
            choice->setCurrentIndex(value.toInt());
        else
            static_cast<QLineEdit*>(m_fields[i])->setText(value.toString());
    }
}

void FieldsPage::take(PortConfig& config) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const PortField& field = m_kind.fields[i];
        QVariant value;
        if (const auto* number = qobject_cast<QSpinBox*>(m_fields[i]))
            value = qint64(number->value());
        else if (const auto* choice = qobject_cast<QComboBox*>(m_fields[i]))
            value = qint64(choice->currentIndex());
        else if (field.type == PortField::Type::Host) // a space typed around a name is no part of it
            value = static_cast<QLineEdit*>(m_fields[i])->text().trimmed();
        else
            value = static_cast<QLineEdit*>(m_fields[i])->text();
        field.member.set(config, value);
    }
}

QueuePage::QueuePage(Edited edited, DeviceList::Reader reader, QWidget* parent)
    : PortPage(std::move(edited), parent)
    , m_queue(new DeviceList(std::move(reader), DeviceList::Reading::FirstOpening, this))
{
    nameField(m_queue, "portQueue", tr("Print queue"));
    keepNarrow(m_queue, 10);
    m_queue->setPlaceholders(tr("not chosen"), tr("none found"));
    auto* refresh =
        namedButton(this, "portQueueRefresh", tr("&Refresh"), tr("Read the list of print queues again"));
    auto* grid = pageGrid(this);
    grid->addWidget(labelFor(m_queue, tr("&Queue")), 0, 0);
    grid->addWidget(m_queue, 0, 1);
    grid->addWidget(refresh, 0, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    connect(m_queue, &QComboBox::currentIndexChanged, this, &QueuePage::edited);
    connect(refresh, &QToolButton::clicked, m_queue, &DeviceList::read);
}

void QueuePage::apply(const PortConfig& config)
{
    m_queue->choose(config.queueName);
}

void QueuePage::take(PortConfig& config) const
{
    config.queueName = m_queue->currentData().toString();
}

SerialPage::SerialPage(Edited edited, DeviceList::Reader reader, QWidget* parent)
    : PortPage(std::move(edited), parent)
    , m_device(new DeviceList(std::move(reader), DeviceList::Reading::EveryOpening, this))
    , m_baud(namedCombo(this, "portBaud", tr("Baud rate")))
    , m_dataBits(namedCombo(this, "portDataBits", tr("Data bits")))
    , m_stopBits(namedCombo(this, "portStopBits", tr("Stop bits")))
    , m_parity(namedCombo(this, "portParity", tr("Parity")))
    , m_flow(namedCombo(this, "portFlow", tr("Flow control")))
{
    nameField(m_device, "portSerialDevice", tr("Serial device"));
    m_device->setEditable(true);
    // Screen readers reach the text field inside the list on its own.
    m_device->lineEdit()->setAccessibleName(m_device->accessibleName());
    m_device->lineEdit()->setMaxLength(int(portField(PortConfig::Kind::Serial, "device").highest));
    keepNarrow(m_device, 8);
    for (qint64 rate : portField(PortConfig::Kind::Serial, "baud").offered)
        m_baud->addItem(QString::number(rate), int(rate));
    keepNarrow(m_baud, 3); // the panel gives it room for six digits
    const PortField& dataBits = portField(PortConfig::Kind::Serial, "data");
    for (int bits = int(dataBits.highest); bits >= dataBits.lowest; --bits)
        m_dataBits->addItem(QString::number(bits), bits);
    m_parity->addItem(tr("None", "no parity"), int(PortConfig::Parity::None));
    m_parity->addItem(tr("Even", "parity"), int(PortConfig::Parity::Even));
    m_parity->addItem(tr("Odd", "parity"), int(PortConfig::Parity::Odd));
    const PortField& stopBits = portField(PortConfig::Kind::Serial, "stop");
    for (int bits = int(stopBits.lowest); bits <= stopBits.highest; ++bits)
        m_stopBits->addItem(QString::number(bits), bits);
    keepNarrow(m_flow, 3);
    m_flow->addItem(tr("None", "no flow control"), int(PortConfig::Flow::None));
    m_flow->addItem(tr("RTS/CTS"), int(PortConfig::Flow::Hardware));
    m_flow->addItem(tr("XON/XOFF"), int(PortConfig::Flow::Software));

    // Three label and list pairs a row, so that every list has its label within the panel.
    auto* grid = pageGrid(this);
    grid->addWidget(labelFor(m_device, tr("&Device")), 0, 0);
    grid->addWidget(m_device, 0, 1, 1, 5);
    grid->addWidget(labelFor(m_baud, tr("&Baud")), 1, 0);
    grid->addWidget(m_baud, 1, 1);
    grid->addWidget(labelFor(m_dataBits, tr("D&ata")), 1, 2);
    grid->addWidget(m_dataBits, 1, 3);
    grid->addWidget(labelFor(m_stopBits, tr("S&top")), 1, 4);
    grid->addWidget(m_stopBits, 1, 5);
    grid->addWidget(labelFor(m_parity, tr("Pa&rity")), 2, 0);
    grid->addWidget(m_parity, 2, 1);
    grid->addWidget(labelFor(m_flow, tr("F&low")), 2, 2);
    grid->addWidget(m_flow, 2, 3, 1, 3);
    grid->setHorizontalSpacing(3);
    grid->setColumnStretch(1, 1);

    connect(m_device, &QComboBox::currentTextChanged, this, &SerialPage::edited);
    for (QComboBox* combo : {m_baud, m_dataBits, m_parity, m_stopBits, m_flow})
        connect(combo, &QComboBox::currentIndexChanged, this, &SerialPage::edited);
}

void SerialPage::apply(const PortConfig& config)
{
    m_device->choose(config.serialDevice);
    selectData(m_baud, config.baudRate, QString::number(config.baudRate));
    selectData(m_dataBits, config.dataBits, QString::number(config.dataBits));
    selectData(m_parity, int(config.parity), parityName(config.parity));
    selectData(m_stopBits, config.stopBits, QString::number(config.stopBits));
    selectData(m_flow, int(config.flow), flowName(config.flow));
}

void SerialPage::take(PortConfig& config) const
{
    config.serialDevice = m_device->currentText().trimmed();
    config.baudRate = m_baud->currentData().toInt();
    config.dataBits = m_dataBits->currentData().toInt();
    config.parity = static_cast<PortConfig::Parity>(m_parity->currentData().toInt());
    config.stopBits = m_stopBits->currentData().toInt();
    config.flow = static_cast<PortConfig::Flow>(m_flow->currentData().toInt());
}

PortPage* makePage(PortConfig::Kind kind, PortPage::Edited edited, FilePage::Chooser chooser)
{
    switch (kind) {
    case PortConfig::Kind::File:
        return new FilePage(std::move(edited), std::move(chooser));
    case PortConfig::Kind::Queue:
        return new QueuePage(std::move(edited), printQueueNames);
    case PortConfig::Kind::Serial:
        return new SerialPage(std::move(edited), [](QString*) { return serialDeviceNames(); });
    default: // its fields tell all the page needs
        return new FieldsPage(std::move(edited), *describedKind(kind));
    }
}

const std::vector<const PortKind*>& listedKinds()
{
    using Kind = PortConfig::Kind;
    // The print queue first, as most printers are set up so; a kind not placed here follows.
    static const std::vector<const PortKind*> kinds = [] {
        std::vector<const PortKind*> listed;
        for (Kind kind : {Kind::Queue, Kind::Tcp, Kind::File, Kind::Serial})
            listed.push_back(describedKind(kind));
        for (const PortKind& kind : portKinds())
            if (std::find(listed.begin(), listed.end(), &kind) == listed.end())
                listed.push_back(&kind);
        return listed;
    }();
    return kinds;
}

} // namespace qbx
