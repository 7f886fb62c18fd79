// The strip of mode tabs above the view: "Details", "Full/Crop", "Curves", "Histogram", each
// filled with its mode colour. Pressing a tab selects it; releasing over the same tab sends its
// command. The mode commands answer with setCurrent, so the strip shows the mode entered.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <vector>

namespace velanox::ui {

class ModeTabStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLeftMargin = 20;
    static constexpr int kLabelPadding = 20;

    explicit ModeTabStrip(QWidget* parent = nullptr);

    /// Appends a tab that sends commandId.
    void addTab(const QString& label, int commandId);
    int count() const { return int(m_tabs.size()); }
    int current() const { return m_current; }
    int pressed() const { return m_pressed; }
    int commandOf(int index) const;
    QString labelOf(int index) const;

    /// Selects a tab and redraws; an index not below the tab count is ignored.
    void setCurrent(int index);

    /// The tab under x (widget coordinates), or -1: tab k when b(k) < x - 20 <= b(k+1).
    int tabAt(int x) const;
    /// The horizontal extent of tab k: from b(k) + 20 to b(k+1) + 20.
    int tabLeft(int index) const;
    int tabRight(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    /// Posted when a press and its release fall on the same tab.
    void commandRequested(int commandId);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Tab {
        QString label;
        int commandId;
        int right; ///< b(k+1): the boundary after this tab, without the left margin
    };
    void drawTab(QPainter& painter, int index) const;

    std::vector<Tab> m_tabs;
    QFont m_font;
    int m_current = 0;
    int m_pressed = -1;
    int m_currentBeforePress = 0;
    bool m_isPressed = false;
};

} // namespace velanox::ui
