// Colours as this screen shows them: the screen's ICC profile and the conversions into it from
// the profiles of the pictures the view, the panes and the Open dialog draw. Untagged pictures
// are sRGB, and so is a screen whose profile cannot be had.
#pragma once

#include "color/color_transform.h"

#include <QImage>
#include <cstdint>
#include <vector>

namespace velanox::ui {

class DisplayColors {
public:
    /// The one instance the program's windows share.
    static DisplayColors& instance();

    /// Reads the screen's profile: on X11 the root window's _ICC_PROFILE property (what colour
    /// managers such as colord set); sRGB elsewhere, or when there is none or it is not an RGB
    /// profile LittleCMS can read.
    void readFromScreen();

    /// Sets the screen's profile (empty: sRGB).
    void setDisplayProfile(std::vector<uint8_t> profile);
    const std::vector<uint8_t>& displayProfile() const { return m_display; }

    /// Whether pictures in this profile need converting for the screen.
    bool converts(const std::vector<uint8_t>& pictureProfile) const;

    /// image, whose values are in pictureProfile, in the screen's colours: a converted copy in
    /// QImage::Format_RGB32, or image itself (shared, not copied) when nothing changes.
    QImage toDisplay(const QImage& image, const std::vector<uint8_t>& pictureProfile);

    /// Converts a rectangle of an RGB32 image in place; false when nothing was changed.
    bool convertInPlace(QImage& image, const QRect& area,
                        const std::vector<uint8_t>& pictureProfile);

    color::ColorTransformCache& transforms() { return m_transforms; }

private:
    DisplayColors() = default;
    std::vector<uint8_t> m_display;
    color::ColorTransformCache m_transforms;
};

/// The screen's profile as the X server holds it (_ICC_PROFILE of the first screen's root
/// window); empty without one or away from X11.
std::vector<uint8_t> readX11ScreenProfile();

} // namespace velanox::ui
