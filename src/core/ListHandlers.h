// The user's operations on the download list: the Add and Delete buttons and the
// grid's pop-up menu. Each change saves the list and the settings and rebuilds the grid.
#pragma once
#include "core/Shared.h"
#include <string>

namespace sf {

/// "N0R, Short Range Reflectivity" -> "Short Range Reflectivity, N0R"; "" -> ", ".
std::string StoredProductLine(const std::string& productLine);
/// The record of the grid's current row, nullptr when the row is not a data row.
TRadarObj* CurrentRecord(TShared& s);

/// "Add selected Radar and Product": checks the selectors, asks, appends a new record.
void AddBtnClick(TShared& s);
/// "Delete" and the pop-up item "Delete &Record": asks, then removes the current row's record.
void DeleteBtnClick(TShared& s);
/// Prepares the pop-up items' captions and targets for the current row (RadarPopup opening).
void RadarPopupPopup(TShared& s);
/// Inverts Accumulate of the current record (check mark follows), saves, rebuilds.
void Accumulateimages1Click(TShared& s);
/// Inverts Enabled of the current record, saves, rebuilds.
void Disabledownload1Click(TShared& s);
/// Opens the underlay file prepared when the menu opened.
void ViewUnderlay1Click(TShared& s);
/// Opens the image URL prepared when the menu opened.
void Browseto1Click(TShared& s);

/// Saves the settings after a user action; a failure is shown in an error box.
void SaveSettingsForUser(TShared& s);

} // namespace sf
