#pragma once

#include "portsession.h"
#include "printerport.h"
#include "reporter.h"

#include <QWidget>

#include <memory>

class QLineEdit;

namespace TeskKit {

// The printer-port component: a panel in which the user picks the port, and the five port
// operations. Failures are reported by the component itself, through its reporter (a message
// box unless replaced), and the operations always return normally.
class TeskComm : public QWidget, public qbx::PrinterPort
{
    Q_OBJECT
    Q_PROPERTY(bool showspooler READ showSpooler WRITE setShowSpooler)
    Q_PROPERTY(bool showtcpip READ showTcpIp WRITE setShowTcpIp)
    Q_PROPERTY(bool showfile READ showFile WRITE setShowFile)

public:
    explicit TeskComm(QWidget* parent = nullptr);
    ~TeskComm() override;

    void OpenPort() override;
    void WritePort(std::string_view bytes) override;
    void ClosePort() override;
    void LoadPortSettings(const std::string& key) override;
    void SavePortSettings(const std::string& key) override;

    // Which kinds of port the panel offers.
    bool showSpooler() const { return m_showSpooler; }
    void setShowSpooler(bool show) { m_showSpooler = show; }
    bool showTcpIp() const { return m_showTcpIp; }
    void setShowTcpIp(bool show) { m_showTcpIp = show; }
    bool showFile() const { return m_showFile; }
    void setShowFile(bool show) { m_showFile = show; }

    PortConfig config() const;
    void setConfig(const PortConfig& config);

    // Replaces the message box, for callers that show messages their own way (and for tests).
    // nullptr restores the message box.
    void setReporter(Reporter* reporter);

private:
    class ForwardingReporter;

    void applyPanel();

    bool m_showSpooler = true;
    bool m_showTcpIp = true;
    bool m_showFile = true;
    std::unique_ptr<ForwardingReporter> m_reporter;
    PortSession m_session;
    QLineEdit* m_filePath = nullptr;
};

} // namespace TeskKit
