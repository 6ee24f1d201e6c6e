// The window's controls and their places: nothing overlaps and no caption is cut
// at the minimum size of 594 x 395.
#include "app/Main.h"
#include "ui/ComboKeys.h"
#include "ui/GridView.h"
#include "ui/MainWindow.h"
#include "ui/Preview.h"
#include "ui/QtDialogs.h"
#include "ui/Staleness.h"
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace sf {

void TMainWindow::BuildLayout()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* root = new QVBoxLayout(central);
    root->setContentsMargins(4, 2, 4, 2);
    root->setSpacing(2);

    // Mode and target directories.
    auto* top = new QHBoxLayout;
    auto* mode = new QGroupBox("Select Mode");
    auto* modeLay = new QHBoxLayout(mode);
    modeLay->setContentsMargins(4, 0, 4, 0);
    auto* modeGroup = new QButtonGroup(mode);
    for (int i = 0; i < (int)m_s.ModeGrp.Items.size(); ++i) {
        auto* b = new QRadioButton(QString::fromStdString(m_s.ModeGrp.Items[i]));
        b->setObjectName(QString::fromStdString("ModeGrp" + std::to_string(i)));
        modeGroup->addButton(b, i);
        modeLay->addWidget(b);
        m_modeButtons.push_back(b);
    }
    BindCommon(m_s.ModeGrp, mode);
    On(m_s.ModeGrp, [this](const TChange& ch) {
        if (ch.What != TProperty::Caption && ch.What != TProperty::ItemIndex)
            return;
        const int i = m_s.ModeGrp.ItemIndex;
        for (int k = 0; k < (int)m_modeButtons.size(); ++k) {
            const QSignalBlocker block(m_modeButtons[k]);
            m_modeButtons[k]->setChecked(k == i);
        }
    });
    connect(modeGroup, &QButtonGroup::idClicked, this, [this](int id) { m_main.ModeGrpClick(id); });
    top->addWidget(mode);

    auto* targetBox = new QVBoxLayout;
    targetBox->setSpacing(0);
    targetBox->addWidget(new QLabel("Select \\QuorserverX\\Quor Underlays\\ Target Directories"));
    auto* targetRow = new QHBoxLayout;
    auto* targetCmb = new QComboBox;
    BindCombo(m_s.TargetCmb, targetCmb);
    auto* addTarget = new QPushButton;
    BindButton(m_s.AddTargetBtn, addTarget);
    auto* delTarget = new QPushButton;
    BindButton(m_s.TargetDelBtn, delTarget);
    targetRow->addWidget(targetCmb, 1);
    targetRow->addWidget(addTarget);
    targetRow->addWidget(delTarget);
    targetBox->addLayout(targetRow);
    top->addLayout(targetBox, 1);
    root->addLayout(top);

    // Radar source and product.
    auto* sel = new QGridLayout;
    sel->setVerticalSpacing(0);
    sel->addWidget(new QLabel("Select Radar underlay image source"), 0, 0);
    sel->addWidget(new QLabel("Select Radar underlay product"), 0, 1);
    auto* radarCmb = new QComboBox;
    BindCombo(m_s.RadarCmb, radarCmb);
    auto* productCmb = new QComboBox;
    BindCombo(m_s.ProductCmb, productCmb);
    sel->addWidget(radarCmb, 1, 0);
    sel->addWidget(productCmb, 1, 1);
    root->addLayout(sel);

    auto* buttons = new QHBoxLayout;
    for (TButton* b : {&m_s.AddBtn, &m_s.DeleteBtn, &m_s.DownloadBtn, &m_s.RedrawBtn}) {
        auto* w = new QPushButton;
        BindButton(*b, w);
        buttons->addWidget(w);
    }
    m_lamp = new TLamp(central);
    On(m_s.Shape1, [this](const TChange&) { m_lamp->SetColour(m_s.Shape1.BrushColor); });
    buttons->addWidget(m_lamp);
    buttons->addStretch(1);
    buttons->addWidget(MakeLabel(m_s.TimeLbl, false));
    buttons->addWidget(MakeLabel(m_s.UTCLbl, false));
    root->addLayout(buttons);

    // The grid (in its panel) with the picture, and the options beside them.
    auto* middle = new QHBoxLayout;
    m_ridgePnl = new QWidget;
    m_ridgePnl->setObjectName("RidgePnl");
    m_ridgePnl->setMouseTracking(true);
    m_ridgePnl->installEventFilter(this);
    auto* pnlLay = new QVBoxLayout(m_ridgePnl);
    pnlLay->setContentsMargins(2, 2, 2, 2);
    m_grid = new TGridView(m_s, m_ridgePnl);
    m_grid->setMinimumHeight(2 * 18 + 24);
    m_grid->IsStale = [this](int dataRow) { return RecordStale(dataRow); };
    m_grid->OpenPopup = [this](const QPoint& p) { OpenGridPopup(p); };
    m_grid->setToolTip(QString::fromStdString(m_s.RadarGrid.Hint.Get()));
    pnlLay->addWidget(m_grid);
    m_bind["RadarGrid"].push_back([this](const TChange& ch) {
        switch (ch.What) {
        case TProperty::Size: m_grid->Refill(); break;
        case TProperty::Cell: m_grid->UpdateCell(ch.Col, ch.Row); break;
        case TProperty::Row: m_grid->UpdateRow(); break;
        case TProperty::Enabled: m_grid->setEnabled(m_s.RadarGrid.Enabled); break;
        case TProperty::Hint: m_grid->setToolTip(QString::fromStdString(m_s.RadarGrid.Hint.Get())); break;
        default: break;
        }
        if (ch.What == TProperty::Size || ch.What == TProperty::Row || ch.What == TProperty::Cell)
            m_preview->Refresh();
        if (ch.What == TProperty::Size)
            UpdateTip();
    });

    // Options under the grid; the shapefile group and the picture beside them.
    auto* left = new QVBoxLayout;
    left->setSpacing(0);
    left->addWidget(m_ridgePnl, 1);
    auto* options = new QGridLayout;
    options->setVerticalSpacing(0);
    int n = 0;
    for (TCheckBox* c : {&m_s.SaveGifChk, &m_s.LegendChk, &m_s.AccumChk, &m_s.RedrawChk}) {
        auto* w = new QCheckBox;
        BindCheck(*c, w);
        // The redraw box gets a whole line: its caption names the underlay.
        if (c == &m_s.RedrawChk)
            options->addWidget(w, 2, 0, 1, 2);
        else
            options->addWidget(w, n / 2, n % 2);
        if (c == &m_s.AccumChk)
            m_accumChk = w;
        ++n;
    }
    left->addLayout(options);
    middle->addLayout(left, 1);

    auto* side = new QVBoxLayout;
    side->setSpacing(1);
    auto* shp = new QGroupBox("Download NWS warning shp files.");
    shp->setObjectName("ShpGroup");
    shp->setFixedWidth(236);
    auto* shpLay = new QGridLayout(shp);
    shpLay->setContentsMargins(4, 0, 4, 2);
    shpLay->setVerticalSpacing(0);
    shpLay->setHorizontalSpacing(4);
    auto* url = new QLineEdit;
    BindEdit(m_s.ShpURLEd, url);
    shpLay->addWidget(url, 0, 0, 1, 3);
    auto* dir = new QLineEdit;
    BindEdit(m_s.TargetED, dir);
    shpLay->addWidget(dir, 1, 0, 1, 2);
    auto* browse = new QPushButton;
    BindButton(m_s.BrowseBtn, browse);
    shpLay->addWidget(browse, 1, 2);
    int k = 0;
    for (TCheckBox* c : {&m_s.TorChk, &m_s.SVRChk, &m_s.FFWChk, &m_s.SMWChk}) {
        auto* w = new QCheckBox;
        BindCheck(*c, w);
        shpLay->addWidget(w, 2 + k / 2, k % 2);
        ++k;
    }
    auto* lsr = new QCheckBox;
    BindCheck(m_s.LSRChk, lsr);
    shpLay->addWidget(lsr, 4, 0);
    auto* shpBtn = new QPushButton;
    BindButton(m_s.ShpDownloadBtn, shpBtn);
    shpLay->addWidget(shpBtn, 2, 2, 2, 1);
    shpLay->addWidget(MakeLabel(m_s.ShpLbl, true), 5, 0, 1, 3);
    side->addWidget(shp);
    m_preview = new TPreview(m_s, central);
    m_preview->setFixedWidth(236);
    side->addWidget(m_preview, 1);
    middle->addLayout(side);
    root->addLayout(middle, 1);

    // Progress and state lines.
    for (TLabel* l : {&m_s.RidgeLbl, &m_s.FileLbl, &m_s.UvULbl})
        root->addWidget(MakeLabel(*l, true));
    auto* states = new QHBoxLayout;
    states->addWidget(MakeLabel(m_s.StateLbl, true), 3);
    states->addWidget(MakeLabel(m_s.StatLbl, true), 1);
    states->addWidget(MakeLabel(m_s.HeapLbl, true), 2);
    states->addWidget(MakeLabel(m_s.LoopLbl, true), 2);
    root->addLayout(states);
    m_bind["RidgeLbl"].push_back([this](const TChange& ch) {
        if (ch.What != TProperty::Caption)
            return;
        std::pair<int64_t, int64_t> p{0, -1};
        if (m_main.Steps().TransferProgress)
            p = m_main.Steps().TransferProgress();
        m_preview->TransferChanged(m_s.RidgeLbl.Caption(), p.first, p.second);
    });
    // The clock's second keeps the picture's age current without a timer of its own.
    m_bind["TimeLbl"].push_back([this](const TChange&) { m_preview->Refresh(); });

    // The status bar: panel 0 (535 pixels) messages, panel 1 (50 pixels) the phase word.
    for (int i = 0; i < 2; ++i) {
        m_panels[i] = new QLabel;
        m_panels[i]->setObjectName(QString("SbarPanel%1").arg(i));
        m_panels[i]->setFixedWidth(i == 0 ? 535 : 50);
        m_panels[i]->setTextFormat(Qt::PlainText);
        statusBar()->addWidget(m_panels[i]);
    }
    statusBar()->setObjectName("Sbar");
    statusBar()->setSizeGripEnabled(false);
    On(m_s.Sbar, [this](const TChange& ch) {
        for (int i = 0; i < 2; ++i)
            if (ch.What == TProperty::Caption || (ch.What == TProperty::Panel && ch.Col == i))
                m_panels[i]->setText(QString::fromStdString(m_s.Sbar.Panel(i)));
    });
    On(m_s.WindowCaption, [this](const TChange&) { setWindowTitle(QString::fromStdString(m_s.WindowCaption.Caption())); });

    // Keyboard rules of the three boxes.
    new TComboKeys(radarCmb, productCmb, true);
    new TComboKeys(productCmb, m_accumChk);
    new TComboKeys(targetCmb, addTarget);
}

} // namespace sf
