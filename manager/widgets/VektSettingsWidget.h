#pragma once
// Expandable settings header: a click shows or hides its content widget, a click on the square
// at its right end shows or hides its help widget. It does not own either widget (their Qt
// parents do); it only toggles their visibility. GUI thread only.

#include "VektToolButton.h"

class VektSettingsWidget : public VektToolButton
{
    Q_OBJECT
public:
    explicit VektSettingsWidget(QWidget* parent = nullptr);

    void setContentWidget(QWidget* content) { m_content = content; }
    void setHelpWidget(QWidget* help) { m_help = help; }
    QWidget* contentWidget() const { return m_content; }
    QWidget* helpWidget() const { return m_help; }

    bool isHelpVisible() const { return m_helpVisible; }
    bool isExpanded() const { return m_expanded; }
    bool isHelpHovered() const { return m_helpHovered; }
    // The style draws the lighter header background while set; the manager never sets it.
    bool lightHeader = false;

    // The square at the right end: corners (width - height + 3, 4) and (width - 5, height - 5).
    QRect helpArea() const;

    void setVisible(bool visible) override;

signals:
    void stateChanged(bool _expanded);

public slots:
    void onHelpClicked();
    void applyHeaderPalette();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void toggleExpanded();

    QWidget* m_content = nullptr; // not owned
    QWidget* m_help = nullptr;    // not owned
    bool m_helpVisible = false;
    bool m_expanded = false;
    bool m_helpHovered = false;
};
