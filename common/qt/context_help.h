#pragma once
// Context help: a short pop-up text from the message catalogue for a control of a dialog,
// asked for with F1 or with the caption's "What's This?" button.
//
// Controls are named by the number in their dynamic property "controlId" (int); the
// dialog itself is 0 and a widget without the property -1. Each dialog has a table of
// (control, message) pairs. A control without a pair of its own borrows the pair of the
// field it describes: for a label its buddy, else the next widget after it in its parent's
// child order (the order the dialog created them in). When that fails too, the general
// help handler runs. The manager ships no help file, so the default handler does nothing:
// help asked for where no pop-up text exists simply shows nothing.

#include <QPoint>
#include <functional>
#include <span>
#include <vector>

class QDialog;
class QWidget;

namespace kesto::common {

struct HelpPair {
    int control_id;
    int message;  // a catalogue number; 0 ends a table early
};

inline constexpr char kControlIdProperty[] = "controlId";

// Names a control by its number (its "controlId" property).
void set_control_id(QWidget* control, int id);

// The control's number: its "controlId" property, 0 for a window, else -1.
[[nodiscard]] int control_id_of(const QWidget* widget);

enum class HelpContext {
    other = 0,              // ignored
    control = 1,            // help for the control under the request
    control_below = 47806,  // the control's own pop-up, placed below it
    general = 48879,        // the general help handler
};

struct HelpRequest {
    HelpContext context = HelpContext::other;
    int control_id = -1;
    QWidget* control = nullptr;
    QPoint mouse_position;  // global coordinates
};

// Shows the pop-up the request asks for; true when one was shown.
//   control:       at the control's left edge and vertical middle (at the mouse for the
//                  dialog itself); the general help and false when no pair applies.
//   control_below: the pair of control_id only, at the mouse's x and 15 pixels below
//                  the control's bottom edge (at the mouse for the dialog itself).
//   general:       runs the general help handler, false.
// Qt may move a pop-up so that it stays on the screen and clear of its control.
bool show_context_help(const HelpRequest& request, std::span<const HelpPair> pairs);

// Replaces the general help handler; an empty one restores the default (nothing).
void set_general_help_handler(std::function<void()> handler);

// Gives the dialog the caption's "What's This?" button and answers F1 on its focused
// widget and clicks in "What's This?" mode with show_context_help, for the widgets it
// has now and those added later. Call before the dialog is shown (changing the window
// flags of a shown window hides it).
void install_context_help(QDialog* dialog, std::vector<HelpPair> pairs);

}  // namespace kesto::common
