// The picture beside the grid: the current underlay of the selected record (or, with
// no record selected, the map's current underlay), scaled to fit, with its image time
// and age; and the progress bar of the running transfer.
#pragma once
#include "core/Shared.h"
#include <QDateTime>
#include <QImage>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;

namespace sf {

class TPreview : public QWidget {
public:
    TPreview(TShared& s, QWidget* parent);
    /// Reloads the image when the file to show, or the file itself, changed; refreshes the texts.
    void Refresh();
    /// The transfer's progress (received bytes, length or -1) after a RidgeLbl change.
    void TransferChanged(const std::string& ridgeText, int64_t received, int64_t length);
    const QImage& Image() const { return m_image; }
    const QString& File() const { return m_file; }
    QString InfoText() const;
    QProgressBar& Progress() { return *m_progress; }

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void ShowScaled();
    TShared& m_s;
    QLabel* m_picture;
    QLabel* m_info;
    QProgressBar* m_progress;
    QImage m_image;
    QString m_file;
    QDateTime m_fileTime;
};

} // namespace sf
