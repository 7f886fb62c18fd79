#include "ui/display_colors.h"

#include "codec/icc/icc_profile.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace velanox::ui {

DisplayColors& DisplayColors::instance() {
    static DisplayColors colors;
    return colors;
}

void DisplayColors::readFromScreen() {
    setDisplayProfile(readX11ScreenProfile());
}

void DisplayColors::setDisplayProfile(std::vector<uint8_t> profile) {
    // A screen profile that is not an RGB profile is no use: the screen is taken as sRGB.
    if (!codec::isRgbProfile({profile.data(), profile.size()})) profile.clear();
    m_display = std::move(profile);
}

bool DisplayColors::converts(const std::vector<uint8_t>& pictureProfile) const {
    return color::profilesDiffer(pictureProfile, m_display);
}

QImage DisplayColors::toDisplay(const QImage& image, const std::vector<uint8_t>& pictureProfile) {
    if (image.isNull() || !converts(pictureProfile)) return image;
    QImage converted = image.convertToFormat(QImage::Format_RGB32);
    if (!convertInPlace(converted, converted.rect(), pictureProfile)) return image;
    return converted;
}

bool DisplayColors::convertInPlace(QImage& image, const QRect& area,
                                   const std::vector<uint8_t>& pictureProfile) {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const QRect r = area.intersected(image.rect());
    if (r.isEmpty() || image.format() != QImage::Format_RGB32 || !converts(pictureProfile))
        return false;
    uint8_t* first = image.bits() + qsizetype(r.top()) * image.bytesPerLine() + r.left() * 4;
    return m_transforms.convert(pictureProfile, m_display, color::PixelLayout::Bgrx, first,
                                r.width(), r.height(), std::size_t(image.bytesPerLine()));
#else
    (void)image;
    (void)area;
    (void)pictureProfile;
    return false;
#endif
}

std::vector<uint8_t> readX11ScreenProfile() {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return {};
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.data) return {};
    static const char kName[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr);
    if (!atom) return {};
    const xcb_atom_t name = atom->atom;
    std::free(atom);
    if (name == XCB_ATOM_NONE) return {};
    // Profiles are a few kilobytes; the length is counted in 32-bit units.
    constexpr uint32_t kMaxWords = (uint32_t(8) << 20) / 4;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, screens.data->root, name,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxWords),
                               nullptr);
    if (!reply) return {};
    std::vector<uint8_t> profile;
    if (reply->format == 8 && reply->bytes_after == 0) {
        const auto* data = static_cast<const uint8_t*>(xcb_get_property_value(reply));
        profile.assign(data, data + xcb_get_property_value_length(reply));
    }
    std::free(reply);
    return profile;
#else
    return {};
#endif
}

} // namespace velanox::ui
