#include "shell/GlobalMouseDownMonitor.h"

#include <QPointer>
#include <QSocketNotifier>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdlib>

namespace orvex {

std::unique_ptr<GlobalMouseDownMonitor> GlobalMouseDownMonitor::open(const QByteArray &displayName) {
    if (displayName.isEmpty())
        return nullptr;
    xcb_connection_t *connection = xcb_connect(displayName.constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_input_id);
    // Raw events reach every client that asks, also while another client grabs the pointer, from 2.2 on.
    xcb_input_xi_query_version_reply_t *version =
        extension && extension->present
            ? xcb_input_xi_query_version_reply(connection, xcb_input_xi_query_version(connection, 2, 2),
                                               nullptr)
            : nullptr;
    const bool usable = version && (version->major_version > 2 ||
                                    (version->major_version == 2 && version->minor_version >= 2));
    std::free(version);
    if (!usable) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<GlobalMouseDownMonitor>(
        new GlobalMouseDownMonitor(connection, extension->major_opcode));
}

GlobalMouseDownMonitor::GlobalMouseDownMonitor(xcb_connection_t *connection, quint8 extensionOpcode)
    : connection_(connection), extensionOpcode_(extensionOpcode) {
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    struct {
        xcb_input_event_mask_t head;
        quint32 mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    xcb_input_xi_select_events(connection_, root_, 1, &selection.head);
    xcb_flush(connection_);
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &GlobalMouseDownMonitor::drainEvents);
}

GlobalMouseDownMonitor::~GlobalMouseDownMonitor() {
    delete notifier_;
    xcb_disconnect(connection_);
}

void GlobalMouseDownMonitor::drainEvents() {
    const QPointer<GlobalMouseDownMonitor> self(this);
    // The pointer query below may read further events into the queue, where the socket notifier would
    // not see them: drain again until none is left.
    while (self) {
        int presses = 0;
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == XCB_GE_GENERIC) {
                const auto *generic = reinterpret_cast<const xcb_ge_generic_event_t *>(event);
                if (generic->extension == extensionOpcode_ &&
                    generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
                    const auto *press = reinterpret_cast<const xcb_input_raw_button_press_event_t *>(event);
                    // Left and right buttons; the wheel's buttons are no clicks.
                    if (press->detail == 1 || press->detail == 3)
                        ++presses;
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection_)) {
            notifier_->setEnabled(false);
            return;
        }
        if (presses == 0)
            return;
        xcb_query_pointer_reply_t *pointer =
            xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr);
        const Press press{pointer ? static_cast<quint32>(pointer->child) : quint32(XCB_NONE)};
        std::free(pointer);
        // The handler may delete this monitor.
        if (const auto handler = onMouseDown)
            handler(press);
    }
}

} // namespace orvex
