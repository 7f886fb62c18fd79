// The texts of the Color Correction, Color Match and File Properties panes and the previewing
// Open dialog, as the person reads them.
#pragma once

namespace velanox::ui::text {

// Color Correction.
inline constexpr const char* kShadowsHighlights = "Shadows - Highlights";
inline constexpr const char* kExposureCompensation = "Exposure Compensation";
inline constexpr const char* kEv = "EV";
inline constexpr const char* kTemperatureFilter = "Color Temperature Filter";
inline constexpr const char* kWarmer = "Warmer";
inline constexpr const char* kColder = "Colder";
inline constexpr const char* kColorBoost = "Color Boost";
inline constexpr const char* kAuto = "Auto";
inline constexpr const char* kReset = "Reset";

// Color Match.
inline constexpr const char* kNoColorMatch = "No Color Match";
inline constexpr const char* kMatchToImage = "Match Colors to Image";
inline constexpr const char* kMatchToProfile = "Match Colors to Profile";
inline constexpr const char* kLoadReferenceImage = "Load Reference Image";
inline constexpr const char* kSaveToProfile = "Save To Profile";
inline constexpr const char* kDeleteProfile = "Delete Profile";
inline constexpr const char* kReferenceCaption = "Reference Image/Profile";
inline constexpr const char* kFade = "Fade";
inline constexpr const char* kAutoSwitchToFull = "Auto Switch to  Full Mode"; // two blanks
inline constexpr const char* kPleaseLoadImage = "Please load image...";
inline constexpr const char* kDeleteProfileQuestion = "Delete this profile?";
inline constexpr const char* kProfileNameTitle = "Profile Name";
inline constexpr const char* kProfileNamePreset = "Profile";
inline constexpr const char* kLoadSourceImageTitle = "Load Source Image";
inline constexpr const char* kCannotDeleteProfile = "Cannot delete the profile: ";
inline constexpr const char* kCannotSaveProfile = "Cannot save the profile: ";

// File Properties.
inline constexpr const char* kFileInfo = "File Info";
inline constexpr const char* kOutputWindow = "Output Window";
inline constexpr const char* kOutputResult = "Display Result Image (default)";
inline constexpr const char* kOutputEdges = "Show Image Edges";
inline constexpr const char* kOutputNoise = "Show Filtered Noise";
inline constexpr const char* kDefaultOutputFolder = "Default Output Folder";
inline constexpr const char* kRecentlyUsed = "Recently Used";
inline constexpr const char* kBrowse = "...";
inline constexpr const char* kCropOptions = "Crop Options";
inline constexpr const char* kEnlarge = "Enlarge";
inline constexpr const char* kReturn = "Return";
inline constexpr const char* kApplyCrop = "Apply Crop";
inline constexpr const char* kSelectDirectory = "Select Directory";
inline constexpr const char* kDefaultOutputPath = "Default Output Path";

// The previewing Open dialog.
inline constexpr const char* kPreview = "&Preview";
inline constexpr const char* kNoImage = "No Image";
inline constexpr const char* kPreviewSizeFormat = "%d x %d\nPixels";
inline constexpr const char* kRecent = "Recent";

/// The types "All Supported Image Files" offers in the reference dialog.
inline constexpr const char* kReferenceTypes =
    "*.bmp;*.jpg;*.pcd;*.pcx;*.png;*.psd;*.tga;*.tif;*.wmf;*.emf;"
    "*.heic;*.heif;*.hif;*.avif;*.webp;*.jxl;";

} // namespace velanox::ui::text
