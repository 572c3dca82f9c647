#pragma once

#include "dialoganswers.h"
#include "panel/progressmonitor.h"
#include "panel/teskcomm.h"
#include "recordingport.h"
#include "ui/frmmain.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <clocale>
#include <memory>

namespace qbx::test {

enum Page
{
    Main,
    Characters,
    Paper,
    Tickets,
    Presenter,
    Status
};

// A shown main window sending to a recording port, or to the port its panel shows; its dialogs
// are answered and its messages kept, none shown.
struct WindowFixture
{
    enum class Printer
    {
        Recording,
        PanelPort,
    };

    RecordingPort port;
    DialogAnswers dialogs; // its messages in `told`
    std::unique_ptr<ui::frmMain> window;

    // Each page is filled when it is first opened.
    enum class Pages
    {
        LookedAt,    // every page opened once, as by a user looking around
        NeverOpened, // only the first page shown
    };

    explicit WindowFixture(Printer printer = Printer::Recording, Pages pages = Pages::LookedAt)
        : window(std::make_unique<ui::frmMain>(printer == Printer::Recording ? &port : nullptr))
    {
        window->show();
        window->activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(window.get());
        for (int page = tabs()->count() - 1; page >= 0 && pages == Pages::LookedAt; --page)
            showPage(page);
    }

    template<typename T = QWidget>
    T* control(const char* name) const
    {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }

    QTabWidget* tabs() const { return control<QTabWidget>("SSTab1"); }
    TeskKit::TeskComm& panel() const { return *control<TeskKit::TeskComm>("scmOutput"); }

    // Clicks the button, as a user would, and waits until the window is free again: what the click
    // started has ended.
    void clickAndWait(const char* button) const
    {
        QTest::mouseClick(control(button), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return !panel().progressMonitor().running(); }, 30000));
    }

    void showPage(int index) const
    {
        tabs()->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }

    // Replaces the box's text key by key, as the user would after selecting it all.
    static void type(QLineEdit* box, const QString& typed)
    {
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, typed);
    }

    // Clicks the main page's tab, taking the focus from the page left, then "Store Settings".
    std::vector<RecordingPort::Call> storeFromMainPage()
    {
        QTabBar* bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(Main).center());
        port.calls.clear();
        clickAndWait("butDownload");
        return port.calls;
    }
};

// The editors' run under a German desktop locale (CMakeLists.txt) must really have it.
inline void verifyLocaleAsAsked()
{
    if (!qEnvironmentVariableIsSet("QBX_EXPECT_COMMA_LOCALE"))
        return;
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
    QCOMPARE(std::string(std::localeconv()->decimal_point), std::string(","));
}

} // namespace qbx::test
