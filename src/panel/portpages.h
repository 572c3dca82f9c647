#pragma once

#include "port/portconfig.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;

namespace qbx {

struct PortKind;

// The object name, the name screen readers say, and the same as tooltip.
void nameField(QWidget* field, const char* objectName, const QString& accessibleName);
// A label whose mnemonic moves the focus to its field.
QLabel* labelFor(QWidget* buddy, const QString& text);

// A list of what the system offers (print queues, serial devices). Reading it costs the start-up
// dearly (libcups, thousands of calls under /sys), so it is read only when the user opens the list
// or asks for it; until then the list holds the saved choice alone.
class DeviceList : public QComboBox
{
public:
    // The entries, or none and in *whyNone a few words why, when the system cannot tell.
    using Reader = std::function<QStringList(QString* whyNone)>;
    enum class Reading
    {
        FirstOpening, // a Refresh button beside it reads it again
        EveryOpening, // nothing beside it: every opening finds what was plugged in meanwhile
    };

    DeviceList(Reader reader, Reading reading, QWidget* parent);

    void showPopup() override;
    // Reads the system's entries, keeping the choice.
    void read();
    // Selects the entry, adding it when the system does not list it (it stays the user's choice).
    void choose(const QString& name);

    // Shown while nothing is chosen, before reading and after a read that found none.
    void setPlaceholders(const QString& unread, const QString& noneFound);

private:
    Reader m_reader;
    Reading m_reading;
    bool m_read = false;
    QString m_noneFound;
};

// The fields of one kind of port. A page shows and edits only its kind's parameters, so the
// parameters of kinds whose page was never built stay as they were loaded.
class PortPage : public QWidget
{
    Q_DECLARE_TR_FUNCTIONS(TeskKit::TeskComm)

public:
    // Called on every edit by the user.
    using Edited = std::function<void()>;

    explicit PortPage(Edited edited, QWidget* parent = nullptr);

    virtual void apply(const PortConfig& config) = 0;
    virtual void take(PortConfig& config) const = 0;

protected:
    void edited() { m_edited(); }

private:
    Edited m_edited;
};

class FilePage final : public PortPage
{
public:
    // Asks the user for an output file, starting from the current one; empty when cancelled.
    using Chooser = std::function<QString(const QString& current)>;

    FilePage(Edited edited, Chooser chooser, QWidget* parent = nullptr);
    void apply(const PortConfig& config) override;
    void take(PortConfig& config) const override;

private:
    QLineEdit* m_path;
    Chooser m_chooser;
};

// A kind's fields, a row each: a text across the page, a number or a choice narrow.
class FieldsPage final : public PortPage
{
public:
    FieldsPage(Edited edited, const PortKind& kind, QWidget* parent = nullptr);
    void apply(const PortConfig& config) override;
    void take(PortConfig& config) const override;

private:
    const PortKind& m_kind;
    std::vector<QWidget*> m_fields; // in the order of the kind's fields
};

class QueuePage final : public PortPage
{
public:
    QueuePage(Edited edited, DeviceList::Reader reader, QWidget* parent = nullptr);
    void apply(const PortConfig& config) override;
    void take(PortConfig& config) const override;

private:
    DeviceList* m_queue;
};

class SerialPage final : public PortPage
{
public:
    SerialPage(Edited edited, DeviceList::Reader reader, QWidget* parent = nullptr);
    void apply(const PortConfig& config) override;
    void take(PortConfig& config) const override;

private:
    DeviceList* m_device;
    QComboBox* m_baud;
    QComboBox* m_dataBits;
    // In the order of the page's rows, which is the order Tab takes.
    QComboBox* m_stopBits;
    QComboBox* m_parity;
    QComboBox* m_flow;
};

// The page of a kind of port, built when the panel first shows it.
PortPage* makePage(PortConfig::Kind kind, PortPage::Edited edited, FilePage::Chooser chooser);

// The kinds in the order of the panel's list.
const std::vector<const PortKind*>& listedKinds();

} // namespace qbx
