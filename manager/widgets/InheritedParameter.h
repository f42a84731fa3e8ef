#pragma once
// The shared behaviour of inherited parameters: a control whose value comes from elsewhere
// refuses mouse presses and explains where the value comes from in a what's-this balloon.
// GUI thread only.

#include <QPoint>
#include <QString>

class QEvent;
class QWidget;

// The inherited and alerting-rule flags every input control of the set carries.
class InheritableState
{
public:
    void setInherited(bool inherited, bool fromAlertingRule)
    {
        m_inherited = inherited;
        m_fromAlertingRule = fromAlertingRule;
    }
    bool isInherited() const { return m_inherited; }
    bool isInheritedFromAlertingRule() const { return m_fromAlertingRule; }

protected:
    bool m_inherited = false;
    bool m_fromAlertingRule = false;
};

// "This parameter is inherited from …": the alerting rule above, or the parent node.
QString inheritedParameterText(bool fromAlertingRule);

// Shows the balloon for control at the press's global position (tests may replace the sink).
using InheritedBalloonSink = void (*)(const QPoint& globalPos, const QString& text, QWidget* control);
void setInheritedBalloonSink(InheritedBalloonSink sink);
void showInheritedBalloon(QEvent* press, QWidget* control, bool fromAlertingRule);

// The filter of the combo box, check box, push button and radio button: a press on a read-only
// control is swallowed silently, one on an inherited control shows the balloon and is
// swallowed; true when the press was swallowed. Every other event passes.
bool filterInheritedPress(QEvent* event, QWidget* control, bool readOnly, bool inherited, bool fromAlertingRule);

// The filter of the spin box and the text editor: a press on a control that Qt itself treats as
// read-only passes; otherwise as above for an inherited control.
bool filterInheritedPressEditable(QEvent* event, QWidget* control, bool qtReadOnly, bool inherited,
                                  bool fromAlertingRule);
