// The menus of the window (File, Help with its web sites, About), the grid's pop-up
// menu, the tray menu, the user manual and the About box.
#include "core/Files.h"
#include "ui/MainWindow.h"
#include "ui/Tray.h"
#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#ifndef SF_SOURCE_DATA_DIR
#define SF_SOURCE_DATA_DIR ""
#endif

namespace sf {

namespace {
const char* const kUiViewSite = "http://www.ui-view.net/";
const char* const kYahooGroup = "https://groups.yahoo.com/group/ui-view/";
const char* const kAprsSite = "http://www.aprs.org/";
} // namespace

QString ManualPath()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    // Installed beside the program's data, in the source tree's data folder, or
    // beside a build folder inside the source tree.
    const QStringList candidates = {
        exeDir + "/../share/stormfetch/manual/index.html",
        exeDir + "/data/manual/index.html",
        exeDir + "/../data/manual/index.html",
        QString(SF_SOURCE_DATA_DIR) + "/manual/index.html",
    };
    for (const QString& c : candidates)
        if (!c.startsWith("/manual") && QFileInfo::exists(c))
            return QFileInfo(c).canonicalFilePath();
    return {};
}

QIcon ProgramIcon()
{
    const QIcon themed = QIcon::fromTheme("stormfetch");
    if (!themed.isNull())
        return themed;
    // A radar sweep in a round screen: green rings, a bright beam, a yellow echo.
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(10, 40, 20));
    p.setPen(QPen(QColor(40, 160, 70), 3));
    p.drawEllipse(QRectF(3, 3, 58, 58));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 160, 70), 2));
    p.drawEllipse(QRectF(17, 17, 30, 30));
    p.setPen(QPen(QColor(120, 255, 140), 3));
    p.drawLine(QPointF(32, 32), QPointF(54, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 210, 40));
    p.drawEllipse(QRectF(38, 36, 10, 8));
    p.end();
    return QIcon(pm);
}

void TMainWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("FileMenu");
    BindAction(m_s.Minimizeonstartup1, file, true);
    BindAction(m_s.Removestaleunderlaysatstartup1, file, true);
    BindAction(m_s.ShutDownwhenUiViewterminates1, file, true);
    BindAction(m_s.Logerrors1, file, true);
    file->addSeparator();
    QAction* exit = file->addAction("E&Xit");
    exit->setObjectName("Exit1");
    connect(exit, &QAction::triggered, this, [this] { close(); });

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("HelpMenu");
    QAction* manual = help->addAction("&Help");
    manual->setObjectName("Help1");
    // F1 anywhere in the window is caught by the window's key preview (eventFilter).
    connect(manual, &QAction::triggered, this, [this] { OpenManual(); });
    QAction* more = help->addAction("&Additional Help");
    more->setObjectName("AdditionalHelp1");
    connect(more, &QAction::triggered, this, [this] {
        const std::string path = m_s.ProgramDir + "Stormfetch2Help.txt";
        if (FileExists(path))
            m_s.Dialogs.ShellOpen(path);
    });
    QMenu* web = help->addMenu("&Web sites");
    web->setObjectName("Websites1");
    auto site = [this, web](const char* caption, const char* name, std::function<std::string()> target) {
        QAction* a = web->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, target] { m_s.Dialogs.ShellOpen(target()); });
    };
    site("&UiView info && downloads", "UiViewinfo1", [] { return std::string(kUiViewSite); });
    site("&Yahoo UiView group", "YahooUiViewgroup1", [] { return std::string(kYahooGroup); });
    site("&APRS information", "APRSinfo1", [] { return std::string(kAprsSite); });
    web->addSeparator();
    site("NWS Ridge Data", "NWSRidgeData1", [this] { return m_s.RidgeBase; });
    site("Ridge Nationa/Sectional Data", "RidgeNationalData1", [this] { return m_s.RidgeNatBase; });

    QMenu* aboutMenu = menuBar()->addMenu("A&bout");
    aboutMenu->setObjectName("AboutMenu");
    QAction* about = aboutMenu->addAction("&About");
    about->setObjectName("About1");
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });

    // The grid's pop-up menu, prepared for the current row each time it opens.
    m_gridMenu = new QMenu(this);
    m_gridMenu->setObjectName("RadarPopup");
    BindAction(m_s.Accumulateimages1, m_gridMenu, true);
    BindAction(m_s.Disabledownload1, m_gridMenu, false);
    BindAction(m_s.DeleteRecord1, m_gridMenu, false);
    BindAction(m_s.Downloadcurrentrecord1, m_gridMenu, false);
    BindAction(m_s.Browseto1, m_gridMenu, false);
    BindAction(m_s.ViewUnderlay1, m_gridMenu, false);
    BindAction(m_s.Cancel2, m_gridMenu, false);

    // The tray menu.
    QMenu* tray = &m_tray->Menu();
    BindAction(m_s.LoopRadar1, tray, false);
    BindAction(m_s.RadarZoom1, tray, false);
    BindAction(m_s.Deletestaleimages1, tray, false);
    BindAction(m_s.Deleteselectedunderlayimages1, tray, false);
    tray->addSeparator();
    QAction* restore = tray->addAction("&Restore");
    restore->setObjectName("Restore1");
    connect(restore, &QAction::triggered, this, [this] { Restore(); });
    QAction* trayExit = tray->addAction("E&Xit");
    trayExit->setObjectName("Exit2");
    connect(trayExit, &QAction::triggered, this, [this] {
        m_tray->Remove();
        close();
    });
    QAction* cancel = tray->addAction("&Cancel");
    cancel->setObjectName("Cancel1");
}

void TMainWindow::OpenManual()
{
    // No help viewer of the old kind here: the manual is an HTML page for the browser.
    const QString path = ManualPath();
    if (path.isEmpty()) {
        m_s.Sbar.SetPanel(0, "The user manual (manual/index.html) is not installed");
        return;
    }
    m_s.Dialogs.ShellOpen(path.toStdString());
}

void TMainWindow::ShowAbout()
{
    QDialog box(this);
    box.setObjectName("AboutBox");
    box.setWindowTitle("About Stormfetch");
    auto* lay = new QVBoxLayout(&box);
    auto* icon = new QLabel;
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    lay->addWidget(icon, 0, Qt::AlignHCenter);
    const std::string version = kVersionText;
    auto* product = new QLabel(QString::fromStdString(version));
    product->setObjectName("ProductName");
    auto* name = new QLabel(QString::fromStdString(version.substr(0, version.find(' '))));
    name->setObjectName("Version");
    lay->addWidget(product, 0, Qt::AlignHCenter);
    lay->addWidget(name, 0, Qt::AlignHCenter);
    lay->addWidget(new QLabel("Weather-radar underlays for UI-View32 and QuorServer"), 0, Qt::AlignHCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    // OK is the default button, and Escape (the cancel key) closes the box as well.
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    lay->addWidget(buttons);
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        box.move(screen->geometry().center() - box.rect().center());
    if (AboutShown)
        AboutShown(box);
    box.exec();
}

} // namespace sf
