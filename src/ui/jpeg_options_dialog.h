// JpegOptionsDialog ("JPEG Options"): the quality and the sampling of a JPEG save,
// the size estimate of the picture at that quality and the search for the quality whose file
// is as large as the source file.
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace velanox::codec {
class Picture;
}

namespace velanox::ui {

namespace ids {
inline constexpr int kJpegOptionsDialog = 140;
inline constexpr int kJpegQualitySlider = 1000;
inline constexpr int kJpegQualityEdit = 1001;
inline constexpr int kJpegEnhancedSampling = 1006;
inline constexpr int kJpegCalcSize = 1015;
inline constexpr int kJpegFileSize = 1029;
inline constexpr int kJpegSuggestQuality = 1030;
} // namespace ids

class JpegOptionsDialog : public QDialog {
    Q_OBJECT
public:
    /// source: the picture whose pixels are estimated (must outlive the dialog);
    /// sourceDataSize: the loaded file's size without its EXIF segment.
    JpegOptionsDialog(const velanox::codec::Picture& source, uint64_t sourceDataSize, int quality,
                      bool enhancedSampling, QWidget* parent = nullptr);

    int quality() const { return m_quality; }
    bool enhancedSampling() const;

    /// The two buttons' work, callable without clicking.
    void calcOutputSize();
    void suggestQuality();

private:
    void onQualityEdited(const QString& text);
    void commitQualityEdit();
    void readControls();

    const velanox::codec::Picture& m_source;
    uint64_t m_sourceDataSize;
    int m_quality;
    QLabel* m_sizeText;
    QSlider* m_slider;
    QLineEdit* m_edit;
    QCheckBox* m_sampling;
};

} // namespace velanox::ui
