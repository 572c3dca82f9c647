#pragma once

#include "frmmain.h"
#include "recordingport.h"

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

// A shown main window whose printer traffic goes to a recording port, and whose message boxes
// are kept here instead of waiting for someone to close them.
struct WindowFixture
{
    RecordingPort port;
    std::unique_ptr<ui::frmMain> window = std::make_unique<ui::frmMain>(&port);
    QStringList messages;

    WindowFixture()
    {
        window->setMessageHook([this](QWidget*, const QString&, const QString& text) { messages << text; });
        window->show();
        window->activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(window.get());
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

    // Makes the page current and lets the tab widget lay it out.
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

    // Goes to the main page by a click on its tab, which takes the focus away from the page
    // left, and clicks "Store Settings"; returns what it sent.
    std::vector<RecordingPort::Call> storeFromMainPage()
    {
        QTabBar* bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(Main).center());
        port.calls.clear();
        QTest::mouseClick(control("butDownload"), Qt::LeftButton);
        return port.calls;
    }
};

// The editors' tests run a second time under a German desktop locale (set up in CMakeLists.txt);
// that run must really have the comma locale, or it proves nothing.
inline void verifyLocaleAsAsked()
{
    if (!qEnvironmentVariableIsSet("QBX_EXPECT_COMMA_LOCALE"))
        return;
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
    QCOMPARE(std::string(std::localeconv()->decimal_point), std::string(","));
}

} // namespace qbx::test
