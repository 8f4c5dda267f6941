#pragma once

// The accessibility bus of a test's own, read as a screen reader reads it.
//
// AccessibilityBus starts a private session bus (PrivateSessionBus: a D-Bus daemon in the test's home,
// no service folders) and at-spi2-core's bus launcher on it with accessibility switched on; the launcher
// starts the accessibility bus and its registry. A program started with environment() (the private session
// bus and QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1) registers its windows there. Everything is stopped with the
// object and dies with the test process; every wait and every call has a time-out.
//
// Use, with a DesktopSession `desktop` and the launcher as a ChildProcess:
//
//     AccessibilityBus bus;
//     ASSERT_TRUE(bus.isReady()) << bus.failure();
//     bus.recordEvents();                                   // before the program starts
//     launcher.start(program, {}, bus.environment(desktop.environment()));
//     std::optional<AccessibleRef> app = bus.waitForApplication(launcher.pid());
//     std::optional<AccessibleNode> window = bus.waitForNode(*app, [](const AccessibleNode &n) {
//         return n.role == QLatin1String("dialog") && n.name == QLatin1String("Launcher Settings"); });
//     for (const AccessibleNode &node : bus.tree(window->ref)) ...   // role, name, states, actions, value
//     bus.doAction(button.ref, QStringLiteral("Press"));             // or grabFocus, setCurrentValue, ...
//     bus.waitForEvent([](const AccessibleEvent &e) { return e.kind == "object:state-changed:focused"
//                                                            && e.detail1 == 1; });
//     ADD_FAILURE() << AccessibilityBus::describe(bus.tree(window->ref)).toStdString();
//
// Roles and states are spelt as AT-SPI names them ("push button", "spin button", "dialog", "frame",
// "filler"; "focusable", "focused", "checked"). Actions are the names the toolkit offers ("Press",
// "SetFocus", "Toggle", "Increase", "Decrease", ...).

#include "ChildProcess.h"
#include "PrivateSessionBus.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace orvex::test {

inline constexpr std::chrono::seconds accessibilityTimeout{20};

// One object on the accessibility bus: the connection that serves it and its object path.
struct AccessibleRef {
    QString service;
    QString path;

    bool isNull() const {
        return service.isEmpty() || path.isEmpty() || path == QLatin1String("/org/a11y/atspi/null");
    }
    bool operator==(const AccessibleRef &other) const = default;
};

// What a screen reader learns of an object in one look.
struct AccessibleNode {
    AccessibleRef ref;
    int depth = 0; // below the object the tree was read from
    QString role;
    QString name;
    QString description;
    QStringList states;
    QStringList actions;
    QStringList interfaces;
    // Only for objects with the Value interface.
    std::optional<double> value;
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::optional<double> step;
    // Only for objects with the Text interface.
    std::optional<QString> text;

    bool has(const QString &state) const { return states.contains(state); }
    bool hasAction(const QString &action) const { return actions.contains(action); }
    // One line: role, "name", (description), value, [states], {actions}.
    QString summary() const;
};

// One event as it travelled on the bus: kind as AT-SPI spells it ("object:state-changed:focused",
// "focus:", "object:selection-changed", "object:property-change:accessible-description",
// "object:text-changed:insert", "window:activate"), its two numbers, the object it concerns and its value.
struct AccessibleEvent {
    QString kind;
    int detail1 = 0;
    int detail2 = 0;
    QVariant value;
    AccessibleRef source;
};

class AccessibilityBus {
public:
    AccessibilityBus();
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    // Both buses and the registry answer.
    bool isReady() const { return ready_; }
    // Why not, when not.
    QString failure() const { return failure_; }
    QString sessionBusAddress() const { return sessionAddress_; }
    QString accessibilityBusAddress() const { return accessibilityAddress_; }

    // `base` with the private session bus and accessibility switched on for Qt.
    QProcessEnvironment environment(QProcessEnvironment base) const;

    // The application object that the process registered, once it has registered.
    std::optional<AccessibleRef> waitForApplication(qint64 pid,
                                                    std::chrono::milliseconds timeout = accessibilityTimeout);

    // Reads one object; a default node (empty role) when it does not answer.
    AccessibleNode node(const AccessibleRef &ref) const;
    QList<AccessibleRef> children(const AccessibleRef &ref) const;
    // The object and everything below it, depth first, at most `maxDepth` levels down.
    QList<AccessibleNode> tree(const AccessibleRef &root, int maxDepth = 64) const;
    // The first object below `root` (or root itself) that the predicate takes, read again until the
    // time-out passes.
    std::optional<AccessibleNode> waitForNode(const AccessibleRef &root,
                                              const std::function<bool(const AccessibleNode &)> &predicate,
                                              std::chrono::milliseconds timeout = accessibilityTimeout) const;
    // Reads `ref` again until the predicate takes it.
    std::optional<AccessibleNode>
    waitForState(const AccessibleRef &ref, const std::function<bool(const AccessibleNode &)> &predicate,
                 std::chrono::milliseconds timeout = accessibilityTimeout) const;
    // Where the object is on the screen (root coordinates); empty when it does not say.
    QRect extents(const AccessibleRef &ref) const;
    // The tree as indented summary lines, for failure messages.
    static QString describe(const QList<AccessibleNode> &nodes);

    // What assistive technology does: each answers whether the object said it did it.
    bool doAction(const AccessibleRef &ref, const QString &actionName) const;
    bool grabFocus(const AccessibleRef &ref) const;
    bool setCurrentValue(const AccessibleRef &ref, double value) const;
    bool selectChild(const AccessibleRef &ref, int childIndex) const;

    // Asks the registry for every object, focus and window event (so that toolkits send them) and keeps
    // those that arrive from now on. Call before the program starts, or give it time to hear of it.
    bool recordEvents();
    QList<AccessibleEvent> events() const;
    // Forgets every event received so far, including those that arrived during the last calls.
    void clearEvents();
    // The first event recorded (since the last clearEvents()) that the predicate takes, waiting for it.
    std::optional<AccessibleEvent> waitForEvent(const std::function<bool(const AccessibleEvent &)> &predicate,
                                                std::chrono::milliseconds timeout = accessibilityTimeout);

private:
    class EventSink;

    bool fail(const QString &why);
    QVariant property(const AccessibleRef &ref, const QString &interface, const QString &name) const;
    std::optional<QList<QVariant>> call(const AccessibleRef &ref, const QString &interface,
                                        const QString &method, const QList<QVariant> &arguments = {}) const;

    PrivateSessionBus session_;
    ChildProcess launcher_;
    QString sessionAddress_;
    QString accessibilityAddress_;
    QString sessionConnectionName_;
    QString accessibilityConnectionName_;
    std::unique_ptr<EventSink> sink_;
    bool ready_ = false;
    QString failure_;
};

} // namespace orvex::test
