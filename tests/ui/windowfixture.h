#pragma once

#include "frmmain.h"
#include "recordingport.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <clocale>
#include <memory>
#include <string>

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

// A shown main window whose printer traffic goes to a recording port.
struct WindowFixture
{
    RecordingPort port;
    std::unique_ptr<ui::frmMain> window = std::make_unique<ui::frmMain>(&port);

    WindowFixture()
    {
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

    // The user clicks a tab of the strip, which takes the focus away from the page left.
    void clickTab(int index) const
    {
        QTabBar* bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
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

    // Goes to the main page by its tab and clicks "Store Settings"; returns what it sent.
    std::vector<RecordingPort::Call> storeFromMainPage()
    {
        clickTab(Main);
        port.calls.clear();
        QTest::mouseClick(control("butDownload"), Qt::LeftButton);
        return port.calls;
    }
};

// The German locale for Qt and the C library while it lives, for the decimal-point cases.
class GermanLocale
{
public:
    GermanLocale()
        : m_c(std::setlocale(LC_ALL, nullptr))
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        m_installed = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~GermanLocale()
    {
        std::setlocale(LC_ALL, m_c.c_str());
        QLocale::setDefault(m_qt);
    }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    bool installed() const { return m_installed; }

private:
    QLocale m_qt;
    std::string m_c;
    bool m_installed = false;
};

} // namespace qbx::test
