#include "ui/Preview.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/Grid.h"
#include "core/Text.h"
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QVBoxLayout>
#include <cmath>

namespace sf {

TPreview::TPreview(TShared& s, QWidget* parent) : QWidget(parent), m_s(s)
{
    setObjectName("Preview");
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(2);
    m_picture = new QLabel(this);
    m_picture->setObjectName("PreviewImage");
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(1, 1);
    m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_picture->setFrameShape(QFrame::StyledPanel);
    m_info = new QLabel(this);
    m_info->setObjectName("PreviewInfo");
    m_info->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("TransferBar");
    m_progress->setMaximumHeight(12);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    lay->addWidget(m_picture, 1);
    lay->addWidget(m_info);
    lay->addWidget(m_progress);
}

namespace {

// The record of the selected data row, else the one whose file is the map's underlay.
const TRadarObj* ShownRecord(const TShared& s)
{
    const int row = s.RadarGrid.Row;
    if (row >= 1 && row - 1 < s.List.Count())
        return &s.List[row - 1];
    for (int i = 0; i < s.List.Count(); ++i)
        if (!s.UnderlayName.empty() && SameText(s.List[i].LocalName, s.UnderlayName))
            return &s.List[i];
    return nullptr;
}

} // namespace

void TPreview::Refresh()
{
    const TRadarObj* rec = ShownRecord(m_s);
    const int row = m_s.RadarGrid.Row;
    const bool selected = row >= 1 && row - 1 < m_s.List.Count();
    const std::string name = selected ? rec->LocalName : m_s.UnderlayName;
    const QString file = name.empty() || m_s.QuorUnderlayPath.empty()
                             ? QString()
                             : QString::fromStdString(ResolvePath(m_s.QuorUnderlayPath + name));
    const QFileInfo fi(file);
    const QDateTime stamp = fi.exists() ? fi.lastModified() : QDateTime();
    if (file != m_file || stamp != m_fileTime) {
        m_file = file;
        m_fileTime = stamp;
        m_image = fi.exists() ? QImage(file) : QImage();
        ShowScaled();
    }
    m_info->setText(InfoText());
}

QString TPreview::InfoText() const
{
    if (m_image.isNull())
        return m_file.isEmpty() ? QString("No underlay") : QString("No image yet");
    const TRadarObj* rec = ShownRecord(m_s);
    const TDateTime utc = m_s.Clock.UTCNow();
    if (!rec || rec->LastImage <= utc - 7)
        return QFileInfo(m_file).fileName();
    const TDateTime offset = m_s.Clock.LocalNow() - utc;
    const long minutes = std::lround((utc - rec->LastImage) / kOneMinute);
    return QString::fromStdString("Image " + FormatDateTime("mm/dd hh:nn", rec->LastImage + offset) + ", " +
                                  std::to_string(std::max(0L, minutes)) + " min old");
}

void TPreview::ShowScaled()
{
    if (m_image.isNull()) {
        m_picture->setPixmap(QPixmap());
        m_picture->setText("-");
        return;
    }
    const QSize box = m_picture->size().boundedTo(m_image.size()).expandedTo(QSize(1, 1));
    m_picture->setPixmap(QPixmap::fromImage(m_image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TPreview::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    ShowScaled();
}

void TPreview::TransferChanged(const std::string& text, int64_t received, int64_t length)
{
    const bool running = text.rfind("Receiving ", 0) == 0 || text.rfind("Loading ", 0) == 0;
    if (!running) {
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        return;
    }
    if (length <= 0) {
        m_progress->setRange(0, 0); // busy bar: the length is not known
        return;
    }
    // The bar counts in kilobytes so that large transfers stay within its int range.
    m_progress->setRange(0, int(std::max<int64_t>(length / 1024, 1)));
    m_progress->setValue(int(std::min(received, length) / 1024));
}

} // namespace sf
