// The target directories: the folders every new underlay is delivered to, kept in
// TargetCmb.Items (each ending with "/") and in ProgramDir + "TargetDirList.txt".
#pragma once
#include "core/Shared.h"
#include <string>

namespace sf {

inline constexpr const char* kTargetListFile = "TargetDirList.txt";
/// The label above the target-directory box.
inline constexpr const char* kTargetBoxLabel = "Select \\QuorserverX\\Quor Underlays\\ Target Directories";

/// Replaces the list with the lines of TargetDirList.txt when the file exists (blank lines skipped).
/// False with "Cannot read <path>: <reason>" when it exists but cannot be read; it is then held.
bool LoadTargetList(TShared& s, std::string* error = nullptr);
/// Rewrites TargetDirList.txt (one folder a line, CR LF) atomically; false when it cannot be
/// written, or is held (it exists but was not loaded) and so is not written.
bool SaveTargetList(TShared& s);
/// First show: an empty list takes the underlay directory, or the program closes when
/// not even UI-View32's folder exists; a single entry becomes the box's text. Nothing is
/// seeded while TargetDirList.txt exists but was not loaded.
void SeedTargetList(TShared& s);
/// The "Add" button: folder browser, trailing "/", no duplicates (case ignored), then the map-server check.
void AddTargetBtnClick(TShared& s);
/// The "Delete" button: confirmed removal of the box's entry, then the map-server check.
void TargetDelBtnClick(TShared& s);
/// Log line, error box, status bar and lamp for a missing map server.
void ReportMissingServer(TShared& s);
/// Captions and hints of the target-directory controls.
void InitTargetControls(TShared& s);

} // namespace sf
