#include "common/qt/context_help.h"

#include <QChildEvent>
#include <QCursor>
#include <QDialog>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QVariant>
#include <QWhatsThis>
#include <algorithm>
#include <utility>

#include "common/qt/message_boxes.h"

namespace kesto::common {

namespace {

constexpr int kNoControlId = -1;
constexpr int kGapBelowControl = 15;

std::function<void()>& general_help_handler() {
    static std::function<void()> handler;
    return handler;
}

void show_general_help() {
    if (const auto& handler = general_help_handler()) handler();
}

// The message of the control's pair; 0 when it has none.
int message_of(std::span<const HelpPair> pairs, int control_id) {
    for (const HelpPair& pair : pairs) {
        if (pair.message == 0) break;
        if (pair.control_id == control_id) return pair.message;
    }
    return 0;
}

// For a label the field it labels, else the widget created after it in the same parent.
QWidget* next_widget(QWidget* control) {
    if (const auto* label = qobject_cast<QLabel*>(control); label && label->buddy()) {
        return label->buddy();
    }
    QWidget* parent = control->parentWidget();
    if (parent == nullptr || control->isWindow()) return nullptr;
    const QObjectList& siblings = parent->children();
    auto it = std::find(siblings.begin(), siblings.end(), control);
    if (it == siblings.end()) return nullptr;
    for (++it; it != siblings.end(); ++it) {
        if (auto* widget = qobject_cast<QWidget*>(*it); widget && !widget->isWindow()) {
            return widget;
        }
    }
    return nullptr;
}

// The control whose pair answers a help request, with its number and message.
struct HelpTarget {
    QWidget* control = nullptr;
    int control_id = kNoControlId;
    int message = 0;
};

HelpTarget resolve_target(QWidget* control, int control_id, std::span<const HelpPair> pairs) {
    HelpTarget target{control, control_id, message_of(pairs, control_id)};
    if (target.message != 0 || control == nullptr) return target;
    target.control = next_widget(control);
    if (target.control == nullptr) return target;
    target.control_id = control_id_of(target.control);
    target.message = message_of(pairs, target.control_id);
    return target;
}

bool show_popup(const QPoint& where, int message, QWidget* owner) {
    const QString text = catalogue_text(message);
    if (text.isEmpty()) return false;
    QWhatsThis::showText(where, text, owner);
    return true;
}

bool show_control_help(const HelpRequest& request, std::span<const HelpPair> pairs) {
    const HelpTarget target = resolve_target(request.control, request.control_id, pairs);
    if (target.message == 0) {
        show_general_help();
        return false;
    }
    const bool at_control = target.control_id != 0 && target.control != nullptr;
    const QPoint where = at_control
                             ? target.control->mapToGlobal(QPoint(0, target.control->height() / 2))
                             : request.mouse_position;
    return show_popup(where, target.message, target.control);
}

bool show_help_below(const HelpRequest& request, std::span<const HelpPair> pairs) {
    const int message = message_of(pairs, request.control_id);
    if (message == 0) return false;
    QPoint where = request.mouse_position;
    if (request.control_id != 0 && request.control != nullptr) {
        const QWidget* control = request.control;
        where.setY(control->mapToGlobal(QPoint(0, control->height())).y() + kGapBelowControl);
    }
    return show_popup(where, message, request.control);
}

// Watches a dialog and its widgets for help requests: F1 on the focused widget and
// clicks in "What's This?" mode. A child of the dialog, so it goes with it.
class ContextHelpFilter : public QObject {
  public:
    ContextHelpFilter(QDialog* dialog, std::vector<HelpPair> pairs)
        : QObject(dialog), pairs_(std::move(pairs)) {
        watch(dialog);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
            case QEvent::ChildAdded:
                watch_added(static_cast<QChildEvent*>(event)->child());
                return false;
            case QEvent::KeyPress:
                return on_key(widget, static_cast<QKeyEvent*>(event));
            case QEvent::QueryWhatsThis:
                return on_query(widget, static_cast<QHelpEvent*>(event));
            case QEvent::WhatsThis:
                return on_whats_this(widget, static_cast<QHelpEvent*>(event));
            default:
                return false;
        }
    }

  private:
    void watch(QWidget* widget) {
        widget->installEventFilter(this);
        for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
    }

    void watch_added(QObject* child) {
        if (child->isWidgetType()) watch(static_cast<QWidget*>(child));
    }

    // A part of a composite control (a spin box's edit field) asks for the control's
    // help; a label stays itself, since it borrows its field's.
    static QWidget* help_owner(QWidget* widget) {
        for (QWidget* w = widget; w != nullptr && !w->isWindow(); w = w->parentWidget()) {
            if (w->property(kControlIdProperty).isValid() || qobject_cast<QLabel*>(w)) return w;
        }
        return widget;
    }

    HelpRequest request_for(QWidget* widget, const QPoint& mouse) const {
        QWidget* owner = help_owner(widget);
        return {HelpContext::control, control_id_of(owner), owner, mouse};
    }

    bool has_help(const HelpRequest& request) const {
        return resolve_target(request.control, request.control_id, pairs_).message != 0;
    }

    bool on_key(QWidget* widget, QKeyEvent* event) {
        if (event->key() != Qt::Key_F1) return false;
        show_context_help(request_for(widget, QCursor::pos()), pairs_);
        return true;
    }

    // Accepted where a click would show a pop-up; elsewhere Qt asks the parent.
    bool on_query(QWidget* widget, QHelpEvent* event) {
        const bool help = has_help(request_for(widget, event->globalPos()));
        event->setAccepted(help);
        return help;
    }

    // A widget without a pop-up text passes the click on to its parent; the dialog
    // answers every click that reaches it.
    bool on_whats_this(QWidget* widget, QHelpEvent* event) {
        const HelpRequest request = request_for(widget, event->globalPos());
        if (!widget->isWindow() && !has_help(request)) return false;
        show_context_help(request, pairs_);
        event->accept();
        return true;
    }

    std::vector<HelpPair> pairs_;
};

}  // namespace

void set_control_id(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

int control_id_of(const QWidget* widget) {
    if (widget == nullptr) return kNoControlId;
    const QVariant id = widget->property(kControlIdProperty);
    if (id.isValid()) return id.toInt();
    return widget->isWindow() ? 0 : kNoControlId;
}

bool show_context_help(const HelpRequest& request, std::span<const HelpPair> pairs) {
    switch (request.context) {
        case HelpContext::control:
            return show_control_help(request, pairs);
        case HelpContext::control_below:
            return show_help_below(request, pairs);
        case HelpContext::general:
            show_general_help();
            return false;
        case HelpContext::other:
            break;
    }
    return false;
}

void set_general_help_handler(std::function<void()> handler) {
    general_help_handler() = std::move(handler);
}

void install_context_help(QDialog* dialog, std::vector<HelpPair> pairs) {
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, true);
    new ContextHelpFilter(dialog, std::move(pairs));  // owned by the dialog
}

}  // namespace kesto::common
