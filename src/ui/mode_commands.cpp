#include "ui/mode_commands.h"

#include "ui/resource_ids.h"

namespace velanox::ui {

void StandaloneModeTarget::enterCropMode(bool) {
    m_cropMode = true;
    m_displayTab = 0;
    m_setModeTab(kFullCropTab);
}

bool StandaloneModeTarget::leaveCropMode(bool askFirst, bool restoreDetail) {
    if (!m_cropMode && !askFirst) return false;
    m_cropMode = false;
    if (restoreDetail) m_displayTab = 0;
    if (m_displayTab == 0) m_setModeTab(kDetailsTab);
    return true;
}

int ModeCommands::commandOfTab(int tab) {
    switch (tab) {
    case kDetailsTab:
        return ids::kDetailMode;
    case kFullCropTab:
        return ids::kFullCropMode;
    case kCurvesTab:
        return ids::kCurves;
    case kHistogramTab:
        return ids::kHistogram;
    default:
        return 0;
    }
}

bool ModeCommands::run(int commandId) {
    if (!m_target) return false;
    switch (commandId) {
    case ids::kDetailMode:
        m_target->leaveCropMode(true, true);
        return true;
    case ids::kFullCropMode:
        m_target->enterCropMode(true);
        return true;
    case ids::kCurves:
        chooseGraphTab(1);
        return true;
    case ids::kHistogram:
        chooseGraphTab(2);
        return true;
    case ids::kNextModeTab:
        return run(commandOfTab(nextTab(m_currentTab())));
    case ids::kPrevModeTab:
        return run(commandOfTab(previousTab(m_currentTab())));
    default:
        return false;
    }
}

void ModeCommands::chooseGraphTab(int displayTab) {
    const int previous = m_target->displayTab();
    m_target->setDisplayTab(displayTab);
    if (previous == 0 && !m_target->leaveCropMode(true, false)) {
        // Cancelled at "Apply Crop to Image?": back to the image tab that fits the mode.
        m_target->setDisplayTab(0);
        m_setModeTab(m_target->cropMode() ? kFullCropTab : kDetailsTab);
        return;
    }
    if (displayTab == 2) m_target->computeHistogram();
    m_setModeTab(displayTab == 1 ? kCurvesTab : kHistogramTab);
}

bool ModeCommands::isChecked(int commandId) const {
    if (!m_target) return false;
    const int tab = m_target->displayTab();
    switch (commandId) {
    case ids::kFullCropMode:
        return m_target->cropMode() && tab == 0;
    case ids::kDetailMode:
        return !m_target->cropMode() && tab == 0;
    case ids::kCurves:
        return tab == 1;
    case ids::kHistogram:
        return tab == 2;
    default:
        return false;
    }
}

} // namespace velanox::ui
