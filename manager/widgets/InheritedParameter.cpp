#include "InheritedParameter.h"

#include <QMouseEvent>
#include <QWhatsThis>

namespace {

void showWhatsThis(const QPoint& globalPos, const QString& text, QWidget* control)
{
    QWhatsThis::showText(globalPos, text, control);
}

InheritedBalloonSink g_sink = showWhatsThis;

} // namespace

QString inheritedParameterText(bool fromAlertingRule)
{
    return fromAlertingRule
               ? QStringLiteral("This parameter is inherited from the alerting rule selected above. "
                                "You can choose to set alerts independently, then edit the parameter.")
               : QStringLiteral("This parameter is inherited from parent node. "
                                "You can break the inheritance and edit the parameter.");
}

void setInheritedBalloonSink(InheritedBalloonSink sink) { g_sink = sink != nullptr ? sink : showWhatsThis; }

void showInheritedBalloon(QEvent* press, QWidget* control, bool fromAlertingRule)
{
    const auto* mouse = static_cast<QMouseEvent*>(press);
    g_sink(mouse->screenPos().toPoint(), inheritedParameterText(fromAlertingRule), control);
}

bool filterInheritedPress(QEvent* event, QWidget* control, bool readOnly, bool inherited, bool fromAlertingRule)
{
    if (event->type() != QEvent::MouseButtonPress)
        return false;
    if (readOnly)
        return true;
    if (!inherited)
        return false;
    showInheritedBalloon(event, control, fromAlertingRule);
    return true;
}

bool filterInheritedPressEditable(QEvent* event, QWidget* control, bool qtReadOnly, bool inherited,
                                  bool fromAlertingRule)
{
    if (event->type() != QEvent::MouseButtonPress || qtReadOnly || !inherited)
        return false;
    showInheritedBalloon(event, control, fromAlertingRule);
    return true;
}
