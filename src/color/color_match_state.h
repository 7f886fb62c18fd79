// The colour-match reference and the profile last read: one set for the whole application,
// owned by the application object and shared by every document it runs (the command-line tool
// may run several at once). Nothing here is saved between runs except the profile files.
#pragma once

#include "codec/codec.h"
#include "codec/picture.h"
#include "color/channel_order.h"
#include "color/color_profile.h"
#include "color/color_statistics.h"
#include "color/match_tables.h"
#include "color/reference_thumbnail.h"

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
    /// (info.iccProfile, empty for sRGB); empty until loaded.
    codec::Picture referenceImage;
    std::string referencePath;
    ColorStatistics referenceStatistics; ///< of the full-size reference
    /// The profile the statistics were taken in: the reference's values were converted into it
    /// (the profile of the picture being matched) before they were counted.
    std::vector<uint8_t> statisticsProfile;
    ColorStatistics profileStatistics; ///< of the profile last read
    codec::Picture profilePreview;     ///< the thumbnail of the profile last read
    std::string profilePath;

    bool hasReference() const { return referenceImage.hasPixels(); }

    /// Makes a loaded picture (24-bit, red first) the reference: it is reduced to its thumbnail
    /// (by scaler, or by averaging when none is given), then its statistics are taken at full
    /// size in pictureProfile (the profile of the picture it will be matched to), into which its
    /// values are converted first when its own profile differs. loaded is consumed on success.
    /// On failure the previous reference stays in force and the reason is returned.
    core::Status setReferenceImage(codec::Picture& loaded, const std::string& path,
                                   const std::vector<uint8_t>& pictureProfile = {},
                                   const ThumbnailScaler& scaler = {});

    /// Takes the reference's statistics again from the full-size reference loaded anew, in
    /// pictureProfile (for a picture in another profile than the one they were taken in).
    /// loaded is consumed; the thumbnail stays.
    core::Status retakeReferenceStatistics(codec::Picture& loaded,
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
