#pragma once

#include "portsession.h"
#include "portworker.h"
#include "printerport.h"
#include "reporter.h"

#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLineEdit;
class QSpinBox;
class QStackedWidget;

namespace TeskKit {

class ProgressMonitor;

// The printer-port component: a panel in which the user picks the port, and the five port
// operations. Failures are reported by the component itself, through its reporter (a message
// box unless replaced), and the operations always return normally.
//
// The panel fits the 255 x 104 pixels the window gives it: a kind selector over one page of
// fields per kind.
class TeskComm : public QWidget, public qbx::StreamPort
{
    Q_OBJECT
    Q_PROPERTY(bool showspooler READ showSpooler WRITE setShowSpooler)
    Q_PROPERTY(bool showtcpip READ showTcpIp WRITE setShowTcpIp)
    Q_PROPERTY(bool showfile READ showFile WRITE setShowFile)

public:
    // Asks the user for an output file, starting from the current one; empty when cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& current)>;

    explicit TeskComm(QWidget* parent = nullptr);
    ~TeskComm() override;

    void OpenPort() override;
    void WritePort(std::string_view bytes) override;
    void ClosePort() override;
    bool PortFailed() const override;
    void AbortPort(const std::string& reason) override;
    std::optional<std::int64_t> CopyFromFile(int fd, std::int64_t length) override;
    void ExpectBytes(std::int64_t total) override;
    void LoadPortSettings(const std::string& key) override;
    void SavePortSettings(const std::string& key) override;

    // Which kinds of port the panel offers, besides the serial line it always offers.
    bool showSpooler() const { return m_showSpooler; }
    void setShowSpooler(bool show);
    bool showTcpIp() const { return m_showTcpIp; }
    void setShowTcpIp(bool show);
    bool showFile() const { return m_showFile; }
    void setShowFile(bool show);

    PortConfig config() const;
    void setConfig(const PortConfig& config);

    // Replaces the message box, for callers that show messages their own way (and for tests).
    // nullptr restores the message box.
    void setReporter(Reporter* reporter);
    // Replaces the file dialog of the browse button; an empty function restores it.
    void setFileChooser(FileChooser chooser);

    PortSession& session() { return m_session; }
    ProgressMonitor& progressMonitor() { return *m_progress; }

    // Reads the system's print queues and serial lines again.
    void refreshDeviceLists();

private:
    class ForwardingReporter;

    QWidget* buildFilePage();
    QWidget* buildTcpPage();
    QWidget* buildQueuePage();
    QWidget* buildSerialPage();
    void rebuildKindList();
    void applyPanel();
    void takeFromPanel();
    void browseForFile();
    void runOnPortThread(const std::function<void()>& operation);

    bool m_showSpooler = true;
    bool m_showTcpIp = true;
    bool m_showFile = true;
    bool m_applying = false;
    std::unique_ptr<ForwardingReporter> m_reporter;
    PortSession m_session;
    std::unique_ptr<ProgressMonitor> m_progress;
    PortWorker m_worker; // after the session: its thread ends before the session goes
    FileChooser m_fileChooser;

    QComboBox* m_kind = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLineEdit* m_filePath = nullptr;
    QLineEdit* m_host = nullptr;
    QSpinBox* m_tcpPort = nullptr;
    QComboBox* m_queue = nullptr;
    QComboBox* m_serialDevice = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_dataBits = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_stopBits = nullptr;
    QComboBox* m_flow = nullptr;
};

} // namespace TeskKit
