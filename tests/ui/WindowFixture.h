// A main object over a fresh program folder, wired, with its window (offscreen).
#pragma once
#include "app/Main.h"
#include "core/DateTime.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/Tray.h"
#include <QAction>
#include <QApplication>
#include <memory>

namespace sf::test {

struct TWindowFixture {
    TFakeClock Clock{EncodeDateTime({2026, 12, 7, 21, 5, 0, 0})};
    TScriptedDialogs Dialogs;
    TTempDir Home;
    std::unique_ptr<TMain> Main;
    std::unique_ptr<TMainWindow> Window;

    explicit TWindowFixture(bool trayAvailable = false)
    {
        Main = std::make_unique<TMain>(Clock, Dialogs, TMainOptions{Home.Path(), Home.Path() + "pfx/", false});
        Main->Shared().ReadMemory = [] { return TMemoryStatus{42, 1 << 30, 1 << 29, 0, 0, 0, 0}; };
        Main->Wire();
        Window = std::make_unique<TMainWindow>(*Main, trayAvailable);
    }
    ~TWindowFixture()
    {
        Window.reset();
        Main.reset();
    }
    TShared& S() { return Main->Shared(); }
    template <class T>
    T* Find(const char* name)
    {
        return Window->findChild<T*>(name);
    }
    QAction* Action(const char* name)
    {
        for (QAction* a : Window->findChildren<QAction*>())
            if (a->objectName() == name)
                return a;
        for (QAction* a : Window->Tray().Menu().actions())
            if (a->objectName() == name)
                return a;
        return nullptr;
    }
};

} // namespace sf::test
