#pragma once

#include <QString>
#include <QWidget>

namespace orvex {

// A sentence that a screen reader speaks when it appears, while the keyboard focus stays where it is: a
// widget that paints nothing and that assistive technology sees as a notification named by the
// sentence, shown while the sentence holds. Sighted users read the same outcome elsewhere on screen.
class SpokenNotice : public QWidget {
    Q_OBJECT

public:
    explicit SpokenNotice(QWidget *parent = nullptr);

    // Shows `sentence`, which a screen reader then speaks; an empty sentence hides the notice. The
    // sentence already shown says nothing again.
    void say(const QString &sentence);
    QString sentence() const { return isHidden() ? QString() : accessibleName(); }
};

} // namespace orvex
