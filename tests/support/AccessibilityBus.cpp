#include "AccessibilityBus.h"

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSet>
#include <QStandardPaths>
#include <QUuid>

#include <array>

namespace orvex::test {

namespace {

constexpr int callTimeoutMs = 5000;
const QString registryService = QStringLiteral("org.a11y.atspi.Registry");
const QString rootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString actionInterface = QStringLiteral("org.a11y.atspi.Action");
const QString valueInterface = QStringLiteral("org.a11y.atspi.Value");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString eventInterfacePrefix = QStringLiteral("org.a11y.atspi.Event.");

// AtspiStateType, in its order.
constexpr std::array<const char *, 44> stateNames = {"invalid",         "active",
                                                     "armed",           "busy",
                                                     "checked",         "collapsed",
                                                     "defunct",         "editable",
                                                     "enabled",         "expandable",
                                                     "expanded",        "focusable",
                                                     "focused",         "has-tooltip",
                                                     "horizontal",      "iconified",
                                                     "modal",           "multi-line",
                                                     "multiselectable", "opaque",
                                                     "pressed",         "resizable",
                                                     "selectable",      "selected",
                                                     "sensitive",       "showing",
                                                     "single-line",     "stale",
                                                     "transient",       "vertical",
                                                     "visible",         "manages-descendants",
                                                     "indeterminate",   "required",
                                                     "truncated",       "animated",
                                                     "invalid-entry",   "supports-autocompletion",
                                                     "selectable-text", "is-default",
                                                     "visited",         "checkable",
                                                     "has-popup",       "read-only"};

// AtspiRole, in its order: toolkits name some roles their own way in GetRoleName ("spin box").
constexpr std::array<const char *, 130> roleNames = {"invalid",
                                                     "accelerator label",
                                                     "alert",
                                                     "animation",
                                                     "arrow",
                                                     "calendar",
                                                     "canvas",
                                                     "check box",
                                                     "check menu item",
                                                     "color chooser",
                                                     "column header",
                                                     "combo box",
                                                     "date editor",
                                                     "desktop icon",
                                                     "desktop frame",
                                                     "dial",
                                                     "dialog",
                                                     "directory pane",
                                                     "drawing area",
                                                     "file chooser",
                                                     "filler",
                                                     "focus traversable",
                                                     "font chooser",
                                                     "frame",
                                                     "glass pane",
                                                     "html container",
                                                     "icon",
                                                     "image",
                                                     "internal frame",
                                                     "label",
                                                     "layered pane",
                                                     "list",
                                                     "list item",
                                                     "menu",
                                                     "menu bar",
                                                     "menu item",
                                                     "option pane",
                                                     "page tab",
                                                     "page tab list",
                                                     "panel",
                                                     "password text",
                                                     "popup menu",
                                                     "progress bar",
                                                     "push button",
                                                     "radio button",
                                                     "radio menu item",
                                                     "root pane",
                                                     "row header",
                                                     "scroll bar",
                                                     "scroll pane",
                                                     "separator",
                                                     "slider",
                                                     "spin button",
                                                     "split pane",
                                                     "status bar",
                                                     "table",
                                                     "table cell",
                                                     "table column header",
                                                     "table row header",
                                                     "tearoff menu item",
                                                     "terminal",
                                                     "text",
                                                     "toggle button",
                                                     "tool bar",
                                                     "tool tip",
                                                     "tree",
                                                     "tree table",
                                                     "unknown",
                                                     "viewport",
                                                     "window",
                                                     "extended",
                                                     "header",
                                                     "footer",
                                                     "paragraph",
                                                     "ruler",
                                                     "application",
                                                     "autocomplete",
                                                     "edit bar",
                                                     "embedded",
                                                     "entry",
                                                     "chart",
                                                     "caption",
                                                     "document frame",
                                                     "heading",
                                                     "page",
                                                     "section",
                                                     "redundant object",
                                                     "form",
                                                     "link",
                                                     "input method window",
                                                     "table row",
                                                     "tree item",
                                                     "document spreadsheet",
                                                     "document presentation",
                                                     "document text",
                                                     "document web",
                                                     "document email",
                                                     "comment",
                                                     "list box",
                                                     "grouping",
                                                     "image map",
                                                     "notification",
                                                     "info bar",
                                                     "level bar",
                                                     "title bar",
                                                     "block quote",
                                                     "audio",
                                                     "video",
                                                     "definition",
                                                     "article",
                                                     "landmark",
                                                     "log",
                                                     "marquee",
                                                     "math",
                                                     "rating",
                                                     "timer",
                                                     "static",
                                                     "math fraction",
                                                     "math root",
                                                     "subscript",
                                                     "superscript",
                                                     "description list",
                                                     "description term",
                                                     "description value",
                                                     "footnote",
                                                     "content deletion",
                                                     "content insertion",
                                                     "mark",
                                                     "suggestion",
                                                     "push button menu"};

// Looks again until `look` finds something or the time-out passes.
template <typename T>
std::optional<T> lookUntilFound(const std::function<std::optional<T>()> &look,
                                std::chrono::milliseconds timeout) {
    std::optional<T> found;
    waitUntil([&] { return (found = look()).has_value(); }, timeout);
    return found;
}

// A D-Bus value as it came, with QDBusVariant wrappers taken off.
QVariant unwrap(const QVariant &value) {
    if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

QList<uint> unsignedList(const QVariant &value) {
    QList<uint> numbers;
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        argument.beginArray();
        while (!argument.atEnd()) {
            uint number = 0;
            argument >> number;
            numbers.append(number);
        }
        argument.endArray();
    } else {
        for (const QVariant &item : value.toList())
            numbers.append(item.toUInt());
    }
    return numbers;
}

// One (so) structure: an object's connection and path.
AccessibleRef reference(const QDBusArgument &argument) {
    QString service;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> service >> path;
    argument.endStructure();
    return {service, path.path()};
}

QList<AccessibleRef> references(const QVariant &value) {
    QList<AccessibleRef> refs;
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return refs;
    const QDBusArgument argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd())
        refs.append(reference(argument));
    argument.endArray();
    return refs;
}

// "StateChanged" → "state-changed".
QString dashed(const QString &member) {
    QString out;
    for (qsizetype i = 0; i < member.size(); ++i) {
        const QChar c = member.at(i);
        if (c.isUpper() && i > 0)
            out += QLatin1Char('-');
        out += c.toLower();
    }
    return out;
}

QString optionalNumber(const char *label, const std::optional<double> &number) {
    return number ? QStringLiteral(" %1=%2").arg(QLatin1String(label)).arg(*number) : QString();
}

} // namespace

QString AccessibleNode::summary() const {
    QString line = role.isEmpty() ? QStringLiteral("(no answer)") : role;
    line += QStringLiteral(" \"%1\"").arg(name);
    if (!description.isEmpty())
        line += QStringLiteral(" (%1)").arg(description);
    line += optionalNumber("value", value) + optionalNumber("min", minimum) + optionalNumber("max", maximum) +
            optionalNumber("step", step);
    if (text && !text->isEmpty())
        line += QStringLiteral(" text=\"%1\"").arg(*text);
    line += QStringLiteral(" [%1]").arg(states.join(QLatin1Char(',')));
    if (!actions.isEmpty())
        line += QStringLiteral(" {%1}").arg(actions.join(QLatin1Char(',')));
    return line;
}

// Receives the event signals of the accessibility bus.
class AccessibilityBus::EventSink : public QObject {
    Q_OBJECT

public:
    QList<AccessibleEvent> events;

public Q_SLOTS:
    void onSignal(const QDBusMessage &message) {
        const QString family = message.interface().mid(eventInterfacePrefix.size()).toLower();
        const QList<QVariant> arguments = message.arguments();
        AccessibleEvent event;
        const QString detail = arguments.value(0).toString();
        if (family == QLatin1String("focus"))
            event.kind = QStringLiteral("focus:");
        else
            event.kind = family + QLatin1Char(':') + dashed(message.member()) +
                         (detail.isEmpty() ? QString() : QLatin1Char(':') + detail);
        event.detail1 = arguments.value(1).toInt();
        event.detail2 = arguments.value(2).toInt();
        event.value = unwrap(arguments.value(3));
        event.source = {message.service(), message.path()};
        events.append(event);
    }
};

AccessibilityBus::AccessibilityBus() : sink_(std::make_unique<EventSink>()) {
    const QString tag = QUuid::createUuid().toString(QUuid::Id128);
    sessionConnectionName_ = QStringLiteral("a11y-session-") + tag;
    accessibilityConnectionName_ = QStringLiteral("a11y-bus-") + tag;

    sessionAddress_ = session_.address();
    if (sessionAddress_.isEmpty()) {
        fail(QStringLiteral("the private session bus did not start (dbus-daemon)"));
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The launcher must not touch a display: it would publish its bus on that display's root window.
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Its settings are kept in memory; their schemas are the machine's.
    environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/local/share:/usr/share"));

    QString launcher;
    for (const QString &folder : {QStringLiteral("/usr/libexec"), QStringLiteral("/usr/lib/at-spi2-core"),
                                  QStringLiteral("/usr/libexec/at-spi2")}) {
        launcher = QStandardPaths::findExecutable(QStringLiteral("at-spi-bus-launcher"), {folder});
        if (!launcher.isEmpty())
            break;
    }
    if (launcher.isEmpty()) {
        fail(QStringLiteral("at-spi-bus-launcher is not installed (at-spi2-core)"));
        return;
    }
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress_);
    if (!launcher_.start(launcher, {QStringLiteral("--launch-immediately"), QStringLiteral("--a11y=1")},
                         environment)) {
        fail(QStringLiteral("at-spi-bus-launcher did not start"));
        return;
    }

    QDBusConnection session = session_.connect(sessionConnectionName_);
    if (!session.isConnected()) {
        fail(QStringLiteral("no connection to the session bus: ") + session.lastError().message());
        return;
    }
    if (!waitUntil(
            [&] {
                return session.interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus")).value() ||
                       !launcher_.isRunning();
            },
            accessibilityTimeout) ||
        !launcher_.isRunning()) {
        fail(QStringLiteral("at-spi-bus-launcher did not take org.a11y.Bus: ") +
             QString::fromUtf8(launcher_.standardError()));
        return;
    }
    const QDBusMessage reply = session.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, callTimeoutMs);
    accessibilityAddress_ = reply.arguments().value(0).toString();
    if (reply.type() != QDBusMessage::ReplyMessage || accessibilityAddress_.isEmpty()) {
        fail(QStringLiteral("the bus launcher gave no address: ") + reply.errorMessage());
        return;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(accessibilityAddress_, accessibilityConnectionName_);
    if (!bus.isConnected()) {
        fail(QStringLiteral("no connection to the accessibility bus: ") + bus.lastError().message());
        return;
    }
    // The first call starts the registry.
    if (!waitUntil(
            [&] {
                return call({registryService, rootPath}, accessibleInterface, QStringLiteral("GetChildren"))
                    .has_value();
            },
            accessibilityTimeout)) {
        fail(QStringLiteral("the registry does not answer"));
        return;
    }
    ready_ = true;
}

AccessibilityBus::~AccessibilityBus() {
    QDBusConnection::disconnectFromBus(accessibilityConnectionName_);
    launcher_.stop();
}

bool AccessibilityBus::fail(const QString &why) {
    failure_ = why;
    return false;
}

QProcessEnvironment AccessibilityBus::environment(QProcessEnvironment base) const {
    base.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress_);
    base.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    base.remove(QStringLiteral("QT_ACCESSIBILITY"));
    base.remove(QStringLiteral("NO_AT_BRIDGE"));
    return base;
}

std::optional<QList<QVariant>> AccessibilityBus::call(const AccessibleRef &ref, const QString &interface,
                                                      const QString &method,
                                                      const QList<QVariant> &arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(ref.service, ref.path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply =
        QDBusConnection(accessibilityConnectionName_).call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments();
}

QVariant AccessibilityBus::property(const AccessibleRef &ref, const QString &interface,
                                    const QString &name) const {
    const auto reply = call(ref, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                            {interface, name});
    return reply ? unwrap(reply->value(0)) : QVariant();
}

std::optional<AccessibleRef> AccessibilityBus::waitForApplication(qint64 pid,
                                                                  std::chrono::milliseconds timeout) {
    QDBusConnectionInterface *bus = QDBusConnection(accessibilityConnectionName_).interface();
    return lookUntilFound<AccessibleRef>(
        [&]() -> std::optional<AccessibleRef> {
            for (const AccessibleRef &app : children({registryService, rootPath}))
                if (bus && bus->servicePid(app.service).value() == pid)
                    return app;
            return std::nullopt;
        },
        timeout);
}

QList<AccessibleRef> AccessibilityBus::children(const AccessibleRef &ref) const {
    if (const auto reply = call(ref, accessibleInterface, QStringLiteral("GetChildren")))
        return references(reply->value(0));
    // Toolkits without GetChildren answer one child at a time.
    QList<AccessibleRef> refs;
    const int count = property(ref, accessibleInterface, QStringLiteral("ChildCount")).toInt();
    for (int i = 0; i < count; ++i) {
        const auto reply = call(ref, accessibleInterface, QStringLiteral("GetChildAtIndex"), {i});
        if (!reply || reply->value(0).userType() != qMetaTypeId<QDBusArgument>())
            continue;
        refs.append(reference(reply->value(0).value<QDBusArgument>()));
    }
    return refs;
}

AccessibleNode AccessibilityBus::node(const AccessibleRef &ref) const {
    AccessibleNode node;
    node.ref = ref;
    const auto role = call(ref, accessibleInterface, QStringLiteral("GetRole"));
    if (!role)
        return node;
    const uint number = role->value(0).toUInt();
    if (number < roleNames.size()) {
        node.role = QString::fromLatin1(roleNames[number]);
    } else {
        const auto name = call(ref, accessibleInterface, QStringLiteral("GetRoleName"));
        node.role = name ? name->value(0).toString() : QStringLiteral("role-%1").arg(number);
    }
    node.name = property(ref, accessibleInterface, QStringLiteral("Name")).toString();
    node.description = property(ref, accessibleInterface, QStringLiteral("Description")).toString();
    if (const auto state = call(ref, accessibleInterface, QStringLiteral("GetState"))) {
        const QList<uint> words = unsignedList(state->value(0));
        for (qsizetype word = 0; word < words.size(); ++word)
            for (int bit = 0; bit < 32; ++bit)
                if (words[word] & (1u << bit)) {
                    const size_t index = size_t(word * 32 + bit);
                    node.states.append(index < stateNames.size() ? QString::fromLatin1(stateNames[index])
                                                                 : QStringLiteral("state-%1").arg(index));
                }
    }
    if (const auto interfaces = call(ref, accessibleInterface, QStringLiteral("GetInterfaces")))
        node.interfaces = interfaces->value(0).toStringList();
    if (node.interfaces.contains(actionInterface)) {
        if (const auto actions = call(ref, actionInterface, QStringLiteral("GetActions"));
            actions && actions->value(0).userType() == qMetaTypeId<QDBusArgument>()) {
            const QDBusArgument argument = actions->value(0).value<QDBusArgument>();
            argument.beginArray();
            while (!argument.atEnd()) {
                QString name, description, keys;
                argument.beginStructure();
                argument >> name >> description >> keys;
                argument.endStructure();
                node.actions.append(name);
            }
            argument.endArray();
        }
    }
    if (node.interfaces.contains(valueInterface)) {
        auto number = [&](const char *name) -> std::optional<double> {
            const QVariant value = property(ref, valueInterface, QString::fromLatin1(name));
            bool ok = false;
            const double result = value.toDouble(&ok);
            return ok ? std::optional<double>(result) : std::nullopt;
        };
        node.value = number("CurrentValue");
        node.minimum = number("MinimumValue");
        node.maximum = number("MaximumValue");
        node.step = number("MinimumIncrement");
    }
    if (node.interfaces.contains(textInterface))
        if (const auto text = call(ref, textInterface, QStringLiteral("GetText"), {0, -1}))
            node.text = text->value(0).toString();
    return node;
}

QList<AccessibleNode> AccessibilityBus::tree(const AccessibleRef &root, int maxDepth) const {
    QList<AccessibleNode> nodes;
    QSet<QString> seen;
    std::function<void(const AccessibleRef &, int)> visit = [&](const AccessibleRef &ref, int depth) {
        if (ref.isNull() || seen.contains(ref.service + ref.path))
            return;
        seen.insert(ref.service + ref.path);
        AccessibleNode node = this->node(ref);
        node.depth = depth;
        nodes.append(node);
        if (depth >= maxDepth || node.role.isEmpty())
            return;
        for (const AccessibleRef &child : children(ref))
            visit(child, depth + 1);
    };
    visit(root, 0);
    return nodes;
}

std::optional<AccessibleNode>
AccessibilityBus::waitForNode(const AccessibleRef &root,
                              const std::function<bool(const AccessibleNode &)> &predicate,
                              std::chrono::milliseconds timeout) const {
    return lookUntilFound<AccessibleNode>(
        [&]() -> std::optional<AccessibleNode> {
            for (const AccessibleNode &node : tree(root))
                if (predicate(node))
                    return node;
            return std::nullopt;
        },
        timeout);
}

std::optional<AccessibleNode>
AccessibilityBus::waitForState(const AccessibleRef &ref,
                               const std::function<bool(const AccessibleNode &)> &predicate,
                               std::chrono::milliseconds timeout) const {
    return lookUntilFound<AccessibleNode>(
        [&]() -> std::optional<AccessibleNode> {
            AccessibleNode current = node(ref);
            return predicate(current) ? std::optional<AccessibleNode>(current) : std::nullopt;
        },
        timeout);
}

QRect AccessibilityBus::extents(const AccessibleRef &ref) const {
    // Coordinate type 0: the screen's.
    const auto reply =
        call(ref, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GetExtents"), {0u});
    if (!reply || reply->value(0).userType() != qMetaTypeId<QDBusArgument>())
        return {};
    const QDBusArgument argument = reply->value(0).value<QDBusArgument>();
    int x = 0, y = 0, width = 0, height = 0;
    argument.beginStructure();
    argument >> x >> y >> width >> height;
    argument.endStructure();
    return QRect(x, y, width, height);
}

QString AccessibilityBus::describe(const QList<AccessibleNode> &nodes) {
    QString text;
    for (const AccessibleNode &node : nodes)
        text += QString(node.depth * 2, QLatin1Char(' ')) + node.summary() + QLatin1Char('\n');
    return text;
}

bool AccessibilityBus::doAction(const AccessibleRef &ref, const QString &actionName) const {
    const int index = int(node(ref).actions.indexOf(actionName));
    if (index < 0)
        return false;
    const auto reply = call(ref, actionInterface, QStringLiteral("DoAction"), {index});
    return reply && reply->value(0).toBool();
}

bool AccessibilityBus::grabFocus(const AccessibleRef &ref) const {
    const auto reply = call(ref, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GrabFocus"));
    return reply && reply->value(0).toBool();
}

bool AccessibilityBus::setCurrentValue(const AccessibleRef &ref, double value) const {
    return call(ref, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                {valueInterface, QStringLiteral("CurrentValue"), QVariant::fromValue(QDBusVariant(value))})
        .has_value();
}

bool AccessibilityBus::selectChild(const AccessibleRef &ref, int childIndex) const {
    const auto reply =
        call(ref, QStringLiteral("org.a11y.atspi.Selection"), QStringLiteral("SelectChild"), {childIndex});
    return reply && reply->value(0).toBool();
}

bool AccessibilityBus::recordEvents() {
    if (!ready_)
        return false;
    QDBusConnection bus(accessibilityConnectionName_);
    for (const char *family : {"Object", "Focus", "Window"})
        if (!bus.connect(QString(), QString(), eventInterfacePrefix + QLatin1String(family), QString(),
                         sink_.get(), SLOT(onSignal(QDBusMessage))))
            return fail(QStringLiteral("cannot listen to ") + QLatin1String(family) +
                        QStringLiteral(" events"));
    // Toolkits send only what someone listens for; the registry tells them.
    for (const char *event :
         {"object:", "focus:", "window:", "object:state-changed", "object:property-change",
          "object:selection-changed", "object:active-descendant-changed", "object:text-changed",
          "object:children-changed", "object:announcement"}) {
        if (!call({registryService, QStringLiteral("/org/a11y/atspi/registry")},
                  QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"),
                  {QString::fromLatin1(event), QStringList(), QString()}))
            return fail(QStringLiteral("the registry refused ") + QLatin1String(event));
    }
    return true;
}

QList<AccessibleEvent> AccessibilityBus::events() const {
    return sink_->events;
}

void AccessibilityBus::clearEvents() {
    // Signals that arrived during blocking calls wait in the event queue: they are older than now.
    waitUntil([] { return false; }, std::chrono::milliseconds(50));
    sink_->events.clear();
}

std::optional<AccessibleEvent>
AccessibilityBus::waitForEvent(const std::function<bool(const AccessibleEvent &)> &predicate,
                               std::chrono::milliseconds timeout) {
    return lookUntilFound<AccessibleEvent>(
        [&]() -> std::optional<AccessibleEvent> {
            for (const AccessibleEvent &event : sink_->events)
                if (predicate(event))
                    return event;
            return std::nullopt;
        },
        timeout);
}

} // namespace orvex::test

#include "AccessibilityBus.moc"
