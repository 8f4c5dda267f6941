#include "panel/SpokenNotice.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace orvex {

namespace {

// A screen reader speaks a notification when it comes to show; Qt gives plain widgets no such role.
class SpokenNoticeAccessible final : public QAccessibleWidget {
public:
    explicit SpokenNoticeAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Notification) {}
};

QAccessibleInterface *spokenNoticeFactory(const QString &className, QObject *object) {
    if (className == QLatin1String(SpokenNotice::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new SpokenNoticeAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

SpokenNotice::SpokenNotice(QWidget *parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(&spokenNoticeFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    // Drawn nowhere, yet on screen while shown: a screen reader passes over what is not showing.
    setGeometry(0, 0, 1, 1);
    hide();
}

void SpokenNotice::say(const QString &sentence) {
    if (sentence == this->sentence())
        return;
    // Coming to show is what a screen reader speaks: a new sentence shows anew.
    hide();
    if (sentence.isEmpty())
        return;
    setAccessibleName(sentence);
    show();
}

} // namespace orvex
