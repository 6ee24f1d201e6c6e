// The clicks of the window's buttons and menu items that the main object serves,
// so that the window and the command channel run the same handlers.
#include "app/Commands.h"
#include "app/Main.h"
#include "app/MainParts.h"

namespace sf {

void TMain::WireClicks()
{
    WireListClicks(m_s);
    m_s.DownloadBtn.OnClick = [this] { m_parts->Scheduler->DownloadBtnClick(); };
    m_s.Downloadcurrentrecord1.OnClick = [this] { m_parts->Scheduler->Downloadcurrentrecord1Click(); };
    m_s.RedrawBtn.OnClick = [this] { m_parts->HostLink->RedrawBtnClick(); };
    m_s.ShpDownloadBtn.OnClick = [this] { m_parts->ShpRun->ShpDownloadBtnClick(); };
}

} // namespace sf
