#include "core/ListHandlers.h"
#include "core/Grid.h"
#include "core/ListFile.h"
#include "core/Settings.h"
#include "core/Text.h"

namespace sf {

namespace {

const char* const kNotSelected = "Radar record not selected, aborting!";

// After every change of the list: the file, the grid and the settings follow it.
void ListChanged(TShared& s)
{
    SaveList(s);
    RebuildGrid(s);
    SaveSettingsForUser(s);
}

} // namespace

void SaveSettingsForUser(TShared& s)
{
    std::string error;
    if (!SaveSettings(s, &error))
        s.Dialogs.ErrorBox(error);
}

std::string StoredProductLine(const std::string& productLine)
{
    const size_t comma = productLine.find(',');
    if (comma == std::string::npos)
        return Trim(productLine) + ", ";
    return Trim(productLine.substr(comma + 1)) + ", " + productLine.substr(0, comma);
}

TRadarObj* CurrentRecord(TShared& s)
{
    const int row = s.RadarGrid.Row;
    if (row < 1 || row > s.List.Count())
        return nullptr;
    return &s.List[row - 1];
}

void AddBtnClick(TShared& s)
{
    // The key and the stored line are TAB-separated: a TAB typed or read from Radars.txt
    // inside a selection becomes a blank.
    const std::string radar = CleanFieldText(Trim(s.RadarCmb.Caption()));
    if (radar.empty()) {
        s.Dialogs.ErrorBox("Radar not selected!");
        return;
    }
    std::string product = CleanFieldText(Trim(s.ProductCmb.Caption()));
    if (StartsWith(radar, "!!")) {
        product.clear();
    } else if (product.empty()) {
        s.Dialogs.ErrorBox("Product not selected!");
        return;
    }
    const std::string question =
        product.empty() ? "Add " + radar + " to download list?" : "Add " + radar + "/" + product + " to download list?";
    if (!s.Dialogs.AskYesNo(question))
        return;
    const std::string stored = StoredProductLine(product);
    TRadarObj* r = s.List.Add(radar + "\t" + stored, TRadarObj::Create(s.Clock));
    if (!r) {
        s.Dialogs.ErrorBox("Record already in list, aborting....");
        return;
    }
    r->SetNames(radar, stored, s.Naming());
    r->Accumulate = s.AccumChk.Checked;
    SaveSettingsForUser(s);
    SaveList(s);
    RebuildGrid(s);
}

void DeleteBtnClick(TShared& s)
{
    if (s.List.Empty())
        return;
    const int row = s.RadarGrid.Row;
    if (row < 0) {
        s.Dialogs.ErrorBox(kNotSelected);
        return;
    }
    const std::string question = "Delete " + s.RadarGrid.Cell(0, row) + "," + s.RadarGrid.Cell(1, row) + "?";
    if (!s.Dialogs.AskYesNo(question))
        return;
    if (row < 1 || row > s.List.Count())
        return;
    s.List.Delete(row - 1);
    ListChanged(s);
}

void RadarPopupPopup(TShared& s)
{
    if (s.RadarGrid.Row < 0) {
        s.Dialogs.ErrorBox(kNotSelected);
        return;
    }
    if (s.List.Empty()) {
        s.Dialogs.ErrorBox("Radar grid has no records, aborting!");
        return;
    }
    const TRadarObj* r = CurrentRecord(s);
    if (!r) {
        s.Dialogs.ErrorBox(kNotSelected);
        return;
    }
    s.ViewUnderlay1.SetCaption("&View Underlay " + r->LocalName.substr(0, r->LocalName.find('.')));
    // A name that cannot be a file name is never joined to a folder.
    s.ViewUnderlayFile = r->HasInvalidName() ? std::string() : s.QuorUnderlayPath + r->LocalName;
    s.Browseto1.SetCaption("&Browse to " + r->RemoteName);
    s.BrowseToURL = r->ImageURL;
    s.Accumulateimages1.SetCaption(r->Accumulate ? "Do not accumulate images" : "Accumulate images");
    if (s.IsClient())
        s.Disabledownload1.SetCaption(r->Enabled ? "Disable processing" : "Enable processing");
    else
        s.Disabledownload1.SetCaption(r->Enabled ? "Disable downloads" : "Enable downloads");
}

void Accumulateimages1Click(TShared& s)
{
    TRadarObj* r = CurrentRecord(s);
    if (!r) {
        s.Dialogs.ErrorBox(kNotSelected);
        return;
    }
    r->Accumulate = !r->Accumulate;
    s.Accumulateimages1.Checked = r->Accumulate;
    ListChanged(s);
}

void Disabledownload1Click(TShared& s)
{
    TRadarObj* r = CurrentRecord(s);
    if (!r) {
        s.Dialogs.ErrorBox(kNotSelected);
        return;
    }
    r->Enabled = !r->Enabled;
    ListChanged(s);
}

void ViewUnderlay1Click(TShared& s)
{
    if (!s.ViewUnderlayFile.empty())
        s.Dialogs.ShellOpen(s.ViewUnderlayFile);
}

void Browseto1Click(TShared& s)
{
    if (!s.BrowseToURL.empty())
        s.Dialogs.ShellOpen(s.BrowseToURL);
}

} // namespace sf
