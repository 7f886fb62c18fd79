// Full/Crop mode without the user interface: the crop window's geometry, zoom and position, the
// display image that mode shows, and the operations that cut and turn the source image.
//
// The document holds a CropState and calls these functions; it adds what needs the main frame
// (the mode tab, the Crop toolbar, scroll bars, redraws) and the result image's reset.
#pragma once

#include "codec/picture.h"
#include "color/channel_order.h"
#include "color/color_steps.h"
#include "core/param_range.h"
#include "core/rect.h"
#include "core/status.h"
#include "document/crop_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace velanox::document {

inline constexpr core::ParamRange<int32_t> kCropAspectRange{"cropAspect", 0, 8, 8};
inline constexpr core::ParamRange<double> kCropZoomRange{"cropZoom", 1.0, 3.0, 1.0};
/// The "Enlarge" slider: position = int((cropZoom - 1) * 50), cropZoom = position * 0.02 + 1.
inline constexpr core::ParamRange<int> kEnlargeSlider{"cropZoom", 0, 100, 0};
/// One Zoom In / Zoom Out command or one wheel notch.
inline constexpr double kCropZoomStep = 0.05;

/// The aspect list's entries, in index order.
inline constexpr std::array<const char*, 9> kCropAspectNames = {
    "Square (1:1)",          "APS Panoramic (3:1)", "Classic Photo (3:2)",
    "Computer Screen (4:3)", "US Letter (11:8.5)",  "US Legal (14:8.5)",
    "A4 (11.75:8.25)",       "Widescreen (16:9)",   "Do not change"};

inline constexpr const char* kApplyCropQuestion = "Apply Crop to Image?";
inline constexpr const char* kCropLandscapeToPortrait = "Crop Landscape to Portrait";
inline constexpr const char* kCropPortraitToLandscape = "Crop Portrait to Landscape";

/// Long side over short side of the window for an aspect index; "Do not change" (8) takes the
/// image's own; an unknown index gives 1.5.
double cropAspectRatio(int32_t aspect, int32_t width, int32_t height);

/// The crop window in source pixels for an image of width x height (both > 0). Clamps the stored
/// offsets so the window stays inside the image and writes them back. An empty rectangle when
/// the image has no size.
core::Rect computeCropRect(CropState& state, int32_t width, int32_t height);

/// The text of the File Properties pane for a window of that size: "Crop Image: %d x %d".
std::string cropInfoText(const core::Rect& rect);
/// The orientation check box's caption for a source of that size.
const char* cropSwapCaption(int32_t width, int32_t height);

// ---- zoom ----------------------------------------------------------------------------------
bool canZoomIn(const CropState& state);  ///< crop mode on and cropZoom < 3.0
bool canZoomOut(const CropState& state); ///< crop mode on and cropZoom > 1.0
/// +0.05 (to at most exactly 3.0) or -0.05 (to at least exactly 1.0), in crop mode only; a
/// zoom that changed marks the window changed.
/// Return whether the command ran (the caller then redraws and refreshes the crop information).
bool zoomIn(CropState& state);
bool zoomOut(CropState& state);
/// The mouse wheel in crop mode: the middle button held resets the zoom to 1.0; otherwise a
/// positive delta zooms in one step and a negative one out. Returns whether it was handled (a
/// zero delta, or crop mode off, is not).
bool wheelZoom(CropState& state, int delta, bool middleButtonHeld);
int enlargePositionFromZoom(double cropZoom);
double zoomFromEnlargePosition(int position);

// ---- pictures ------------------------------------------------------------------------------
/// Builds the Full/Crop display image from a 24-bit red-first source: 32 bits per pixel, rows
/// bottom to top, bytes blue, green, red and 255, recoloured by the colour steps (match, tone,
/// boost) with each table on the byte that holds its colour. display is replaced only on
/// success. Fails with NoReader (no 24-bit source) or OutOfMemory.
core::Status buildCropDisplayImage(const codec::Picture& source,
                                   const color::ColorSettings& settings, codec::Picture& display);

/// Cuts picture to rect (its depth kept; pixels of rect outside the picture are black). An
/// empty rect leaves it untouched. Fails with NoReader (no pixels or a packed 1-bit picture) or
/// OutOfMemory (the picture is then unchanged).
core::Status cropImage(codec::Picture& picture, const core::Rect& rect);

enum class RotateDirection { Clockwise, CounterClockwise };

/// Turns the picture by 90 degrees; width and height are exchanged. Fails as cropImage does.
core::Status rotateImage(codec::Picture& picture, RotateDirection direction);

// ---- entering and leaving the mode -----------------------------------------------------------
/// Enters (or, in crop mode, refreshes) Full/Crop mode: with resetView the zoom and offsets
/// become neutral; cropMode is set and the display image built. A new visit or a reset view
/// clears windowChanged. On failure the state and the display stay as they were and the failure
/// is returned. The caller then sets displayTab to 0, shows the Full/Crop tab and resets the
/// result image if its size differs.
core::Status enterCropMode(CropState& state, bool resetView, const codec::Picture& source,
                           const color::ColorSettings& settings, codec::Picture& display);

enum class CropAnswer { Yes, No, Cancel };
/// Asks the person a yes/no/cancel question with the given text (kApplyCropQuestion).
using CropQuestion = std::function<CropAnswer(const char* text)>;

struct LeaveCropOutcome {
    bool left = false;      ///< the mode was left (leaveCropMode's true)
    bool cropped = false;   ///< the source was cut
    bool cancelled = false; ///< the person chose Cancel: the caller re-selects the Full/Crop tab
    core::Status status;    ///< a failure: cutting failed, nothing changed, mode kept
};

/// The decision and state change of leaving Full/Crop mode. Off and !askFirst: nothing. Off and
/// askFirst: only the reset. On and !askFirst (Enter, Apply Crop): the crop is applied without
/// asking. On and askFirst: a window the person did not change during this visit
/// (windowChanged) is only reset, without a question; a changed one that covers the whole
/// picture is applied (a cut that changes nothing); otherwise ask answers Yes (apply), No (reset
/// only) or Cancel (nothing changes). Apply
/// cuts source to computeCropRect and clears cropSwap; the reset makes zoom and offsets neutral,
/// releases display and turns cropMode off. The caller handles restoreDetail (displayTab 0 and
/// the result reset to the source), the mode tab and the redraw, and returns false itself when
/// there is no main window.
/// Without a question callback a question is answered Cancel, so a pending crop is never lost.
LeaveCropOutcome leaveCropMode(CropState& state, bool askFirst, codec::Picture& source,
                               codec::Picture& display, const CropQuestion& ask);

} // namespace velanox::document
