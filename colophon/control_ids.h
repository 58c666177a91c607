#pragma once
// The numbers of the library's dialogs and controls, kept on each widget as its
// "controlId" property (common/qt/context_help.h), by which help tables and tests
// address them. The dialogs themselves are 0 as every window; their own numbers are the
// "dialogId" property.

namespace kesto::colophon {

inline constexpr char kDialogIdProperty[] = "dialogId";

inline constexpr int kAboutBoxDialog = 1001;
inline constexpr int kTextViewerDialog = 1003;

inline constexpr int kOkButton = 1;  // the closing button of either dialog

// The about box.
inline constexpr int kLogo = 1000;  // the picture's frame
inline constexpr int kProductLine = 1010;
inline constexpr int kTelephoneLine = 1011;
inline constexpr int kEmailLabel = 1012;
inline constexpr int kEmailLink = 1013;
inline constexpr int kWebLabel = 1014;
inline constexpr int kWebLink = 1015;
inline constexpr int kNotice = 1016;
inline constexpr int kViewerButton = 1017;

// The text viewer.
inline constexpr int kViewerList = 1020;

}  // namespace kesto::colophon
