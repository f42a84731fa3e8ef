#pragma once
// Group box of the styled widget set: a state that selects its style code and its two colours,
// and a help button at the top right that shows or hides a help widget it does not own.
// GUI thread only.

#include <QColor>
#include <QGroupBox>

class VektGroupBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit VektGroupBox(QWidget* parent = nullptr);
    explicit VektGroupBox(const QString& title, QWidget* parent = nullptr);

    // The one rectangle of the help button, for hit testing and for drawing.
    virtual QRect helpButtonRect() const;
    virtual void setState(int state);
    virtual void setStateStyle(int styleCode);
    virtual void setPrimaryColor(const QColor& color);
    virtual void setSecondaryColor(const QColor& color);

    void setHelpWidget(QWidget* help) { m_help = help; }
    QWidget* helpWidget() const { return m_help; }
    int state() const { return m_state; }
    int styleCode() const { return m_styleCode; }
    QColor primaryColor() const { return m_primary; }
    QColor secondaryColor() const { return m_secondary; }
    bool isButtonHovered() const { return m_buttonHovered; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void init();

    int m_styleCode = 9;
    QColor m_primary;
    QColor m_secondary;
    QWidget* m_help = nullptr; // not owned
    int m_state = 0;
    bool m_buttonHovered = false;
};

// The colours of a group box's stored state.
QColor groupBoxPrimaryColor(const VektGroupBox* box);
QColor groupBoxSecondaryColor(const VektGroupBox* box);
