#include "color/color_match_state.h"

#include "color/color_transform.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <utility>

namespace velanox::color {

using core::Status;

namespace {

// The statistics of a full-size reference in the profile of the picture it is matched to.
ColorStatistics statisticsIn(image::PixelBuffer& loaded, const std::vector<uint8_t>& loadedProfile,
                             const std::vector<uint8_t>& pictureProfile) {
    convertRgbBetweenProfiles(loadedProfile, pictureProfile, loaded.pixels(), loaded.width,
                              loaded.height, loaded.rowBytes());
    return computeColorStatistics(std::as_const(loaded).view());
}

} // namespace

Status ColorMatchState::setReferenceImage(image::PixelBuffer& loaded,
                                          const std::vector<uint8_t>& loadedProfile,
                                          const std::string& path,
                                          const std::vector<uint8_t>& pictureProfile,
                                          const ThumbnailScaler& scaler) {
    if (!loaded.hasPixels() || loaded.bitsPerPixel != 24)
        return Status::failure(core::StatusCode::Unsupported,
                               "The reference image has no 24-bit pixels.");
    const ThumbnailSize size = referenceThumbnailSize(loaded.width, loaded.height);
    image::PixelBuffer thumbnail;
    const bool scaled = scaler ? scaler(loaded, size.width, size.height, thumbnail)
                               : scaleDownByAveraging(loaded, size.width, size.height, thumbnail);
    if (!scaled || !thumbnail.hasPixels() || thumbnail.bitsPerPixel != 24 ||
        thumbnail.width != size.width || thumbnail.height != size.height)
        return Status::failure(core::StatusCode::OutOfMemory,
                               "The reference image could not be reduced to its thumbnail.");
    const ColorStatistics statistics = statisticsIn(loaded, loadedProfile, pictureProfile);
    referenceImage.takeFrom(thumbnail);
    referenceProfile = loadedProfile;
    referencePath = path;
    referenceStatistics = statistics;
    statisticsProfile = pictureProfile;
    loaded.release();
    return Status::success();
}

Status ColorMatchState::retakeReferenceStatistics(image::PixelBuffer& loaded,
                                                  const std::vector<uint8_t>& loadedProfile,
                                                  const std::vector<uint8_t>& pictureProfile) {
    if (!loaded.hasPixels() || loaded.bitsPerPixel != 24)
        return Status::failure(core::StatusCode::Unsupported,
                               "The reference image has no 24-bit pixels.");
    referenceStatistics = statisticsIn(loaded, loadedProfile, pictureProfile);
    statisticsProfile = pictureProfile;
    loaded.release();
    return Status::success();
}

bool ColorMatchState::statisticsNeedProfile(const std::vector<uint8_t>& pictureProfile) const {
    return !referencePath.empty() && profilesDiffer(statisticsProfile, pictureProfile);
}

Status ColorMatchState::writeProfile(const std::string& path) const {
    if (!hasReference()) return Status::failure(core::StatusCode::NoReader, kNoReferenceMessage);
    ColorProfile profile;
    profile.thumbnailWidth = referenceImage.width;
    profile.thumbnailHeight = referenceImage.height;
    profile.thumbnail.assign(referenceImage.pixels(),
                             referenceImage.pixels() + referenceImage.pixelBytes());
    convertRgbBetweenProfiles(referenceProfile, {}, profile.thumbnail.data(),
                              profile.thumbnailWidth, profile.thumbnailHeight,
                              std::size_t(profile.thumbnailWidth) * 3);
    profile.statistics = referenceStatistics;
    return writeProfileFile(path, profile);
}

Status ColorMatchState::readProfile(const std::string& path) {
    ColorProfile profile;
    if (Status s = readProfileFile(path, profile); !s.ok()) return s;
    image::PixelBuffer preview;
    if (profile.thumbnailWidth > 0 && profile.thumbnailHeight > 0) {
        if (!preview.allocate(profile.thumbnailWidth, profile.thumbnailHeight, 24).ok())
            return Status::failure(core::StatusCode::OutOfMemory,
                                   "There is not enough memory for the profile's thumbnail.");
        std::memcpy(preview.pixels(), profile.thumbnail.data(), profile.thumbnail.size());
    }
    profilePreview.takeFrom(preview);
    profileStatistics = profile.statistics;
    profilePath = path;
    return Status::success();
}

MatchTables ColorMatchState::buildMatchToImage(const core::ConstImageView& source,
                                               ChannelOrder order) const {
    if (referencePath.empty()) return MatchValues::identityMatchTables();
    return buildMatchTables(computeColorStatistics(source, order), referenceStatistics);
}

MatchTables ColorMatchState::buildMatchToProfile(const core::ConstImageView& source,
                                                 ChannelOrder order) const {
    if (profilePath.empty()) return MatchValues::identityMatchTables();
    return buildMatchTables(computeColorStatistics(source, order), profileStatistics);
}

bool isValidProfileName(const std::string& name) {
    return !name.empty() && name.find_first_of("/\\") == std::string::npos &&
           name.find("..") == std::string::npos;
}

std::string profilePathFor(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / (name + kProfileExtension)).string();
}

std::vector<std::string> findProfiles(const std::string& folder) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char ch) { return char(std::tolower(ch)); });
        return s;
    };
    std::vector<std::string> paths;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& p = it->path();
        std::error_code typeError;
        if (lower(p.extension().string()) != kProfileExtension || it->is_directory(typeError))
            continue;
        paths.push_back(p.string());
    }
    std::stable_sort(paths.begin(), paths.end(), [&](const std::string& a, const std::string& b) {
        return lower(a) < lower(b);
    });
    return paths;
}

} // namespace velanox::color
