#pragma once

#include "fileopendialog.h"
#include "store.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QTabWidget;

namespace TeskKit {
class TeskComm;
}

namespace qbx {
class StreamPort;
}

namespace qbx::ui {

class CutPositionAdjuster;
class PresenterTimerEntry;
struct ControlLayout;
struct PageLayout;

// Shows a message to the user; tests install their own.
using MessageHook = std::function<void(QWidget* parent, const QString& title, const QString& text)>;

// The program's one window: six tabs of settings and actions. All printer traffic goes to the
// port given at construction, or to the panel scmOutput when none is given.
class frmMain final : public QWidget
{
    Q_OBJECT

public:
    // The settings key under which the port panel keeps the user's port choice.

    explicit frmMain(StreamPort* port = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    // Rounds, limits and shows a cut offset in millimetres (the diagram and the text box both
    // end here).
    void AdjustCutPosition(float offset);

    // What "Store Settings" reads from the controls right now.
    ControlSnapshot snapshot() const;

    void setFileOpenHook(FileOpenHook hook);
    void setMessageHook(MessageHook hook);
    const FileOpenDialog& fileDialog() const { return m_fileDialog; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPages();
    void buildPage(const PageLayout& table);
    QWidget* createControl(const ControlLayout& layout, QWidget* page);
    void buildFocusOrder();
    void load();
    void unload();

    void storeSettings();
    void printSelfTestPage();
    void printDataFile();

    StreamPort& port();

    QTabWidget* m_tabs = nullptr;
    TeskKit::TeskComm* m_panel = nullptr;
    StreamPort* m_port = nullptr;
    CutPositionAdjuster* m_cutPosition = nullptr;
    PresenterTimerEntry* m_presenterTimer = nullptr;
    FileOpenDialog m_fileDialog;
    MessageHook m_message;
    bool m_centred = false;
    bool m_unloaded = false;
};

} // namespace qbx::ui
