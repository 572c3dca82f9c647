#pragma once

#include "frmmain.h"
#include "recordingport.h"

#include <QTabWidget>
#include <QTest>

#include <memory>

namespace qbx::test {

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

    // The control's rectangle relative to SSTab1's corner, as the layout tables give it.
    QRect rectInTabs(const QWidget* widget) const
    {
        return {widget->mapTo(tabs(), QPoint(0, 0)), widget->size()};
    }
};

} // namespace qbx::test
