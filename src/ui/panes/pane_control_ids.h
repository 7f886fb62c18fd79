// Control, bitmap and dialog ids of the Color Correction, Color Match and File Properties panes
// and of the previewing Open dialog; the widgets' object names are built from them. Several panes
// reuse the same numbers for their own controls, as their templates do.
#pragma once

namespace velanox::ui::ids {

// Templates.
inline constexpr int kFilePropertiesTemplate = 131;
inline constexpr int kColorCorrectionTemplate = 132;
inline constexpr int kColorMatchTemplate = 141;
inline constexpr int kProfileNameDialog = 147;
inline constexpr int kPreviewOpenTemplate = 101;

// Color Correction (132).
inline constexpr int kSliderBlackPoint = 1022;
inline constexpr int kSliderWhitePoint = 1023;
inline constexpr int kSliderTemperature = 1024;
inline constexpr int kSliderColorBoost = 1025;
inline constexpr int kSliderExposure = 1030;
inline constexpr int kLabelBlackPoint = 1026;
inline constexpr int kLabelWhitePoint = 1027;
inline constexpr int kLabelTemperature = 1028;
inline constexpr int kLabelColorBoost = 1029;
inline constexpr int kLabelExposure = 1031;
inline constexpr int kButtonAuto = 1020;
inline constexpr int kButtonReset = 1015;

// Color Match (141).
inline constexpr int kRadioNoMatch = 1040;
inline constexpr int kRadioMatchImage = 1041;
inline constexpr int kRadioMatchProfile = 1043;
inline constexpr int kEditReferenceName = 1001;
inline constexpr int kButtonLoadReference = 1044;
inline constexpr int kButtonSaveProfile = 1042;
inline constexpr int kListProfiles = 1012;
inline constexpr int kButtonDeleteProfile = 1021;
inline constexpr int kCaptionReference = 1034;
inline constexpr int kReferencePreview = 1011;
inline constexpr int kSliderFade = 1024;
inline constexpr int kCheckAutoSwitch = 1006;
inline constexpr int kEditProfileName = 1001; // in the Profile Name dialog

// File Properties (131).
inline constexpr int kThumbnail = 1011;
inline constexpr int kHeaderFileInfo = 1034;
inline constexpr int kEditFileInfo = 1001;
inline constexpr int kHeaderOutputWindow = 1036;
inline constexpr int kListOutputWindow = 1012;
inline constexpr int kHeaderOutputFolder = 1035;
inline constexpr int kRadioRecentlyUsed = 1040;
inline constexpr int kRadioFixedFolder = 1041;
inline constexpr int kEditOutputFolder = 1009;
inline constexpr int kButtonBrowseFolder = 1048;
inline constexpr int kHeaderCropOptions = 1037;
inline constexpr int kListCropAspect = 1039;
inline constexpr int kSliderEnlarge = 1024;
inline constexpr int kCheckCropSwap = 1006;
inline constexpr int kButtonReturn = 1047;
inline constexpr int kButtonApplyCrop = 1046;

// Previewing Open dialog.
inline constexpr int kCheckPreview = 1000;
inline constexpr int kPreviewControl = 1001;
inline constexpr int kLabelPreviewSize = 1347;
inline constexpr int kButtonRecent = 1049;

// Bitmaps drawn for the panes.
inline constexpr int kBitmapThumbTemperature = 134;
inline constexpr int kBitmapThumbPlain = 135;
inline constexpr int kBitmapIconShadows = 136;
inline constexpr int kBitmapIconHighlights = 137;
inline constexpr int kBitmapSaveProfile = 146;
inline constexpr int kBitmapApplyCrop = 148;
inline constexpr int kBitmapDeleteProfile = 153;
inline constexpr int kBitmapLoadReference = 154;
inline constexpr int kBitmapReturn = 156;
inline constexpr int kBitmapThumbExposure = 159;

} // namespace velanox::ui::ids
