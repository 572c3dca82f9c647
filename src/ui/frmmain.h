#pragma once

#include "settings/store.h"
#include "ui/fileopendialog.h"

#include "ui/windowlayout.h"

#include "port/portcontroller.h"

#include <QElapsedTimer>
#include <QHash>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;

namespace TeskKit {
class TeskComm;
}

namespace qbx {
class PrinterPort;
class StreamPort;
} // namespace qbx

namespace qbx::ui {

class CutPositionAdjuster;
class CutPositionDiagram;
class EntryBox;
class PresenterTimerEntry;

// The program's one window: six tabs of settings and actions. Its actions hand whole
// transmissions to the panel scmOutput's port controller, which sends them to the port given at
// construction (tests), else to the port the panel shows.
class frmMain final : public QWidget
{
    Q_OBJECT

public:
    explicit frmMain(StreamPort* port = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    // Rounds, limits and shows a cut offset in millimetres (the diagram and the text box both
    // end here).
    void AdjustCutPosition(float offset);

    // What "Store Settings" reads from the controls right now.
    ControlSnapshot snapshot() const;

    const FileOpenDialog& fileDialog() const { return m_fileDialog; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPages();
    void fillPage(Page page);
    void addSettingRow(std::size_t step, TwipsLayout& layout, QWidget* page);
    QWidget* createControl(const ControlLayout& layout, QWidget* page);
    void keepControl(ControlId id, QWidget* widget);
    void buildFocusOrder();
    void addAccessKeys(Page page);
    void load();
    void unload();

    void storeSettings();
    void printSelfTestPage();
    void printDataFile();
    void transmit(const QString& success, PortController::Transmission transmission,
                  const QString& subject = {}, bool keepsSettings = false);
    void report(const TransmissionOutcome& outcome);
    void countChanges();
    void buildProfilesMenu(QMenu& menu);
    std::optional<QString> askProfileFile(FileRequest::Purpose purpose, const QString& title,
                                          const QString& filter);
    void openProfile();
    void openSettingsFile();
    void saveProfile();
    void choose(const std::variant<ControlSnapshot, QString>& choice, const QString& path);
    void resetAll();
    static QString profileFilter();
    void showChoice(const ControlSnapshot& choice);
    void showManual();
    void showAbout();

    // Where the port choice is loaded from and saved to.
    PrinterPort& port();

    QTabWidget* m_tabs = nullptr;
    std::array<bool, kPageCount> m_filled{};
    std::array<QComboBox*, kSettingCount> m_lists{};     // by catalogue step; none for the cut offset
    std::vector<std::pair<int, QWidget*>> m_focusPlaces; // of the pages filled so far
    QHash<QWidget*, QLabel*> m_labelOf;                  // each list's label
    int m_changeCount = 0;
    QString m_success; // what the transmission under way did once delivered: %1 the port
    QElapsedTimer m_clock;
    QString m_tabKeys;
    QString m_profileFolder; // where the last profile or settings file was // taken by the tabs and the port
                             // panel
    QLabel* m_title = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_betaNotice = nullptr;
    QLabel* m_status = nullptr;  // what the last action did
    QLabel* m_changes = nullptr; // how many settings are chosen
    TeskKit::TeskComm* m_panel = nullptr;
    QPushButton* m_storeButton = nullptr;
    QPushButton* m_selfTestButton = nullptr;
    QPushButton* m_printFileButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QCheckBox* m_adjustCutPos = nullptr;
    CutPositionDiagram* m_diagram = nullptr;
    EntryBox* m_cutOffset = nullptr;
    EntryBox* m_presenterDelay = nullptr;
    StreamPort* m_port = nullptr;
    CutPositionAdjuster* m_cutPosition = nullptr;
    PresenterTimerEntry* m_presenterTimer = nullptr;
    FileOpenDialog m_fileDialog;
    bool m_centred = false;
    bool m_unloaded = false;
};

} // namespace qbx::ui
