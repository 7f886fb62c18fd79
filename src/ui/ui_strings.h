// The program's own texts, as the person reads them.
#pragma once

namespace velanox::ui::text {

inline constexpr const char* kApplicationName = "Velanox NR";          // string 94 and 96
inline constexpr const char* kOrganisationName = "Orvantel";           // string 97
inline constexpr const char* kVersionLine = "Velanox NR, version 1.7"; // string 92
inline constexpr const char* kMakersNotice =                           // string 91
    "Noise reduction for photographs and scans.\n"
    "Written by the Velanox NR developers.";
inline constexpr const char* kAboutTitle = "About Velanox NR";
inline constexpr const char* kUntitled = "Untitled";

inline constexpr const char* kReady = "Ready";
inline constexpr const char* kCapsIndicator = "CAP";
inline constexpr const char* kNumIndicator = "NUM";
inline constexpr const char* kScrollIndicator = "SCRL";

inline constexpr const char* kProgressTitle = "Processing Full Image";
inline constexpr const char* kProgressInitialPercent = " 0 %";

inline constexpr const char* kMemoryTitle = "Memory Settings";
inline constexpr const char* kMemoryBlockGroup = "Largest image Block to process at once";
inline constexpr const char* kMemorySwapGroup =
    "Image size when to start swapping to disc (Page File)";
inline constexpr const char* kMemoryNote =
    "If you have Out of Memory on larger files: Decrease these values and try again.";
inline constexpr const char* kMemoryClampNote = "Values below 64 are used as 64 pixels.";
inline constexpr const char* kMemoryBudgetGroup = "Memory budget";
inline constexpr const char* kMemoryBudgetLabel = "Largest run";
inline constexpr const char* kMemoryBudgetUnit = "MB";
/// Followed by half the machine's memory in MB and ")".
inline constexpr const char* kMemoryBudgetNote =
    "Larger pictures are refused before they are read. 0: half the machine's memory (";
inline constexpr const char* kEnterInteger = "Please enter an integer.";

inline constexpr const char* kCannotFind = "Cannot find ";
inline constexpr const char* kNoHtmlAssociation =
    "There is no application associated with the HTML filename extension.\nYou need Netscape "
    "Navigator or Internet Explorer to view the help files.";

inline constexpr const char* kAllCommands = "All Commands";
inline constexpr const char* kBuiltInMenus = "Built-in Menus";
inline constexpr const char* kNewMenu = "New Menu";

} // namespace velanox::ui::text
