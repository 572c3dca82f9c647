#pragma once

#include "doctor/portdoctor.h"
#include "panel/dialogs.h"
#include "port/portcontroller.h"
#include "port/printerport.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QDialog;
class QStackedWidget;
class QToolButton;

namespace qbx {
class DeviceList;
class PortPage;
class ProgressMonitor;
} // namespace qbx

// The component keeps the name its callers know it by; everything it is built from is the
// program's own code, in namespace qbx.
namespace TeskKit {

// The printer-port component: a panel in which the user picks the port, a view over the port
// controller that sends to it, and the five port operations for callers that want them. A
// transmission runs on the controller's thread while the window stays painted and held (see
// ProgressMonitor); its failure is reported by the component itself, in a message box, once it
// has ended.
//
// The panel fits the 255 x 104 pixels the window gives it: a kind selector over one page of
// fields per kind. A page is built when it is first shown, and the system's print queues and
// serial devices are read when the user opens their list, so that the window opens quickly.
class TeskComm : public QWidget, public qbx::PrinterPort
{
    Q_OBJECT
    Q_PROPERTY(bool showspooler READ showSpooler WRITE setShowSpooler)
    Q_PROPERTY(bool showtcpip READ showTcpIp WRITE setShowTcpIp)
    Q_PROPERTY(bool showfile READ showFile WRITE setShowFile)

public:
    explicit TeskComm(QWidget* parent = nullptr);
    ~TeskComm() override;

    // OpenPort, WritePort and ClosePort collect a transmission, which starts at ClosePort and
    // runs on while they return.
    void OpenPort() override;
    void WritePort(std::string_view bytes) override;
    void ClosePort() override;
    void LoadPortSettings(const std::string& key) override;
    void SavePortSettings(const std::string& key) override;

    // Which kinds of port the panel offers, besides the serial line it always offers.
    bool showSpooler() const { return m_showSpooler; }
    void setShowSpooler(bool show);
    bool showTcpIp() const { return m_showTcpIp; }
    void setShowTcpIp(bool show);
    bool showFile() const { return m_showFile; }
    void setShowFile(bool show);

    qbx::PortConfig config() const;
    void setConfig(const qbx::PortConfig& config);

    // Starts a whole transmission to the chosen port; while another runs, says so instead.
    // `subject` is what the progress names ("demo.dmo"); none for the settings.
    bool transmit(qbx::PortController::Transmission transmission, const QString& subject = {},
                  bool keepsSettings = false); // false: refused

    // The access keys of the panel's texts built so far, in lower case: before it is shown, those
    // of the kind list alone, which every kind shows. The window around it takes others, the same
    // whatever the port in force; a page's key that meets one of them takes turns with it.
    QString accessKeys() const;

    qbx::PortController& controller() { return m_controller; }
    qbx::PortSession& session() { return m_controller.session(); }
    qbx::ProgressMonitor& progressMonitor() { return *m_progress; }

    // "Test": checks the chosen port on the port's thread, the window held as for a transmission,
    // and then shows what was found. Nothing is sent.
    void testPort();

protected:
    void showEvent(QShowEvent* event) override;

private:
    qbx::PortPage* page(qbx::PortConfig::Kind kind);
    void joinTabOrder(QWidget& page);
    void showKind(qbx::PortConfig::Kind kind);
    void rebuildKindList();
    void applyPanel();
    void takeKind();
    void takeFromPage(const qbx::PortPage& page);
    QString chooseFile(const QString& current);
    void tell(const QString& message, qbx::Dialogs::Tone tone = qbx::Dialogs::Tone::Warning,
              const std::function<void()>& read = {});
    bool offered(qbx::PortConfig::Kind kind) const;
    static QString shownName(const qbx::PortConfig& config);
    void keepChoice();
    bool keepPortInForce();
    bool refuseWhileBusy();
    void transmitted(const qbx::TransmissionOutcome& outcome);
    void showFindings(const QString& port, const qbx::Findings& findings);

    bool m_showSpooler = true;
    bool m_showTcpIp = true;
    bool m_showFile = true;
    bool m_applying = false;
    std::string m_settingsKey; // where the choice is kept, once loaded from there
    qbx::PortController m_controller;
    std::unique_ptr<qbx::ProgressMonitor> m_progress;
    std::optional<std::vector<std::string>> m_collected; // the writes from OpenPort to ClosePort

    QComboBox* m_kind = nullptr;
    QStackedWidget* m_pages = nullptr;
    QToolButton* m_test = nullptr;
    std::array<qbx::PortPage*, qbx::PortConfig::kKindCount> m_pageOfKind{}; // nullptr until first shown
};

} // namespace TeskKit
