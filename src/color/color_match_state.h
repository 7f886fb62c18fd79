// The colour-match reference and the profile last read: one set for the whole application,
// owned by the application object and shared by every document it runs (the command-line tool
// may run several at once). Nothing here is saved between runs except the profile files.
#pragma once

#include "color/channel_order.h"
#include "color/color_profile.h"
#include "color/color_statistics.h"
#include "color/match_tables.h"
#include "color/reference_thumbnail.h"
#include "core/status.h"
#include "image/pixel_buffer.h"

#include <string>
#include <vector>

namespace velanox::color {

/// Shown when Save To Profile is chosen before a reference image is loaded.
inline constexpr const char* kNoReferenceMessage = "You have to first load reference image";
/// Shown when a typed profile name would leave the profile folder.
inline constexpr const char* kBadProfileNameMessage =
    "A profile name cannot contain \\, / or \"..\".";

class ColorMatchState {
public:
    ColorMatchState() = default;
    ColorMatchState(const ColorMatchState&) = delete;
    ColorMatchState& operator=(const ColorMatchState&) = delete;

    /// The reference's thumbnail, 24-bit red first, in the reference's own colour profile
    /// (referenceProfile); empty until loaded.
    image::PixelBuffer referenceImage;
    /// The ICC profile of the reference's file, which its thumbnail's values are in; empty for
    /// sRGB.
    std::vector<uint8_t> referenceProfile;
    std::string referencePath;
    ColorStatistics referenceStatistics; ///< of the full-size reference
    /// The profile the statistics were taken in: the reference's values were converted into it
    /// (the profile of the picture being matched) before they were counted.
    std::vector<uint8_t> statisticsProfile;
    ColorStatistics profileStatistics; ///< of the profile last read
    image::PixelBuffer profilePreview; ///< the thumbnail of the profile last read (sRGB)
    std::string profilePath;

    bool hasReference() const { return referenceImage.hasPixels(); }

    /// Makes loaded pixels (24-bit, red first, in loadedProfile: the ICC profile of the file
    /// they were read from, empty for sRGB) the reference: they are reduced to the thumbnail (by
    /// scaler, or by averaging when none is given), then their statistics are taken at full size
    /// in pictureProfile (the profile of the picture they will be matched to), into which their
    /// values are converted first when their own profile differs. loaded is consumed on success.
    /// On failure the previous reference stays in force and the reason is returned.
    core::Status setReferenceImage(image::PixelBuffer& loaded,
                                   const std::vector<uint8_t>& loadedProfile,
                                   const std::string& path,
                                   const std::vector<uint8_t>& pictureProfile = {},
                                   const ThumbnailScaler& scaler = {});

    /// Takes the reference's statistics again from the full-size reference loaded anew, in
    /// pictureProfile (for a picture in another profile than the one they were taken in).
    /// loaded (in loadedProfile) is consumed; the thumbnail stays.
    core::Status retakeReferenceStatistics(image::PixelBuffer& loaded,
                                           const std::vector<uint8_t>& loadedProfile,
                                           const std::vector<uint8_t>& pictureProfile);

    /// Whether the statistics must be taken again to match a picture in pictureProfile.
    bool statisticsNeedProfile(const std::vector<uint8_t>& pictureProfile) const;

    /// Writes the reference's thumbnail (converted to sRGB, as profile thumbnails are shown) and
    /// statistics as a profile; fails with
    /// kNoReferenceMessage when there is no reference, or when the file cannot be written.
    core::Status writeProfile(const std::string& path) const;

    /// Reads a profile into profileStatistics, profilePreview and profilePath. A file that
    /// cannot be opened, is truncated or holds an impossible thumbnail size changes nothing.
    core::Status readProfile(const std::string& path);

    /// The match tables of source against the reference: the identity without a reference.
    MatchTables buildMatchToImage(const core::ConstImageView& source,
                                  ChannelOrder order = ChannelOrder::Rgb) const;
    /// The same against the profile last read: the identity when none was read.
    MatchTables buildMatchToProfile(const core::ConstImageView& source,
                                    ChannelOrder order = ChannelOrder::Rgb) const;
};

/// True when a typed profile name can be used as a file name in the profile folder: not empty,
/// no path separator (either slash) and no "..".
bool isValidProfileName(const std::string& name);

/// folder + separator + name + ".cpf".
std::string profilePathFor(const std::string& folder, const std::string& name);

/// The full paths of the .cpf files in folder (files only), sorted without regard to case;
/// empty when the folder cannot be read.
std::vector<std::string> findProfiles(const std::string& folder);

} // namespace velanox::color
