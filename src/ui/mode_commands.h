// The mode commands: Detail Mode (32782), Full/Crop Mode (32772), Curves (32788), Histogram
// (32789) and the next/previous mode tab (32797/32798), with their check marks. They work
// through ModeTarget, which the document implements; until a document is attached the frame's
// own StandaloneModeTarget keeps the mode.
#pragma once

#include <functional>

namespace velanox::ui {

/// Tab indices of the mode strip.
enum ModeTab { kDetailsTab = 0, kFullCropTab = 1, kCurvesTab = 2, kHistogramTab = 3 };
inline constexpr int kModeTabCount = 4;

/// What the mode commands need of the document (cropMode, displayTab and the crop and
/// histogram operations). enterCropMode and leaveCropMode select the strip's tab themselves,
/// through the frame's setModeTab, as the document does.
class ModeTarget {
public:
    virtual ~ModeTarget() = default;
    virtual bool cropMode() const = 0;
    /// 0 image tabs (Detail or Full/Crop), 1 Curves, 2 Histogram.
    virtual int displayTab() const = 0;
    virtual void setDisplayTab(int tab) = 0;
    virtual void enterCropMode(bool resetView) = 0;
    /// False when nothing was left or the person cancelled.
    virtual bool leaveCropMode(bool askFirst, bool restoreDetail) = 0;
    virtual void computeHistogram() = 0;
    virtual void updateAllViews() = 0;
};

/// Keeps cropMode and displayTab without a picture: entering and leaving Full/Crop never asks
/// and never crops.
class StandaloneModeTarget : public ModeTarget {
public:
    explicit StandaloneModeTarget(std::function<void(int)> setModeTab)
        : m_setModeTab(std::move(setModeTab)) {}

    bool cropMode() const override { return m_cropMode; }
    int displayTab() const override { return m_displayTab; }
    void setDisplayTab(int tab) override { m_displayTab = tab; }
    void enterCropMode(bool resetView) override;
    bool leaveCropMode(bool askFirst, bool restoreDetail) override;
    void computeHistogram() override {}
    void updateAllViews() override {}

private:
    std::function<void(int)> m_setModeTab;
    bool m_cropMode = false;
    int m_displayTab = 0;
};

class ModeCommands {
public:
    /// setModeTab selects a strip tab (and hands the document to the panes); currentTab reads
    /// the strip's current tab.
    ModeCommands(std::function<void(int)> setModeTab, std::function<int()> currentTab)
        : m_setModeTab(std::move(setModeTab)), m_currentTab(std::move(currentTab)) {}

    void setTarget(ModeTarget* target) { m_target = target; }
    ModeTarget* target() const { return m_target; }

    /// Runs a mode command (the ids of ModeCommand); false for other ids.
    bool run(int commandId);
    /// Whether the menu item of a mode command carries a check mark.
    bool isChecked(int commandId) const;

    /// The tab "next" (32797) or "previous" (32798) leads to from a tab, wrapping.
    static int nextTab(int tab) { return (tab + 1) % kModeTabCount; }
    static int previousTab(int tab) { return (tab + kModeTabCount - 1) % kModeTabCount; }
    /// The command a tab sends.
    static int commandOfTab(int tab);

private:
    void chooseGraphTab(int displayTab);

    std::function<void(int)> m_setModeTab;
    std::function<int()> m_currentTab;
    ModeTarget* m_target = nullptr;
};

} // namespace velanox::ui
