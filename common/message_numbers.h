#pragma once
// The catalogue numbers the manager and its libraries show, by role. Every number here
// has a non-empty text in every shipped catalogue (checked by a test).

#include <array>

namespace kesto::msg {

// Fixed roles.
inline constexpr int kLanguageCode = 311;  // the catalogue's own code, such as "us"
inline constexpr int kMarker = 677;        // "***"

// Message box captions and common buttons.
inline constexpr int kErrorCaption = 321;
inline constexpr int kQuestionCaption = 323;
inline constexpr int kCancel = 329;
inline constexpr int kOk = 331;
inline constexpr int kHelp = 336;

// Main window.
inline constexpr int kConfigure = 337;
inline constexpr int kTitleText = 389;
inline constexpr int kAccountColumn = 433;
inline constexpr int kFolderColumn = 445;
inline constexpr int kAddUser = 479;
inline constexpr int kRemoveUser = 480;
inline constexpr int kEditUser = 481;
inline constexpr int kAbout = 567;
inline constexpr int kServerRunning = 9274;
inline constexpr int kServerStopped = 9275;
inline constexpr int kStartServer = 9276;
inline constexpr int kStopServer = 9277;
inline constexpr int kRemoveQuestion = 9278;  // one %s: the account's name
inline constexpr int kStopQuestion = 9279;
inline constexpr int kSettingsNotice = 9280;
inline constexpr int kHelpMainWindow = 9281;
inline constexpr int kHelpStartStop = 9282;
inline constexpr int kHelpStatus = 9283;
inline constexpr int kHelpExit = 9284;
inline constexpr int kHelpAccountList = 9285;
inline constexpr int kHelpConfigure = 9286;
inline constexpr int kHelpRemoveUser = 9287;
inline constexpr int kHelpEditUser = 9288;
inline constexpr int kHelpAddUser = 9289;
inline constexpr int kHelpHelp = 9290;
inline constexpr int kHelpAbout = 9347;

// Account editor.
inline constexpr int kNameLabel = 482;
inline constexpr int kFolderCreateFailed = 4154;
inline constexpr int kPasswordLabel = 9067;
inline constexpr int kAccountGroup = 9258;
inline constexpr int kListingStyleLabel = 9259;
inline constexpr int kHomeFolderLabel = 9260;
inline constexpr int kAddAccountCaption = 9261;
inline constexpr int kEditAccountCaption = 9262;
inline constexpr int kConfinedFlag = 9263;
inline constexpr int kReadOnlyFlag = 9264;
inline constexpr int kCreateFolderQuestion = 9291;
inline constexpr int kFolderEmpty = 9292;
inline constexpr int kPasswordEmpty = 9293;
inline constexpr int kNameTaken = 9294;
inline constexpr int kNameTooLong = 9295;
inline constexpr int kNameEmpty = 9296;
inline constexpr int kHelpAccountDialog = 9297;
inline constexpr int kHelpOk = 9298;
inline constexpr int kHelpCancel = 9299;
inline constexpr int kHelpConfinedFlag = 9300;
inline constexpr int kHelpReadOnlyFlag = 9301;
inline constexpr int kHelpName = 9302;
inline constexpr int kHelpPassword = 9303;
inline constexpr int kHelpListingStyle = 9304;
inline constexpr int kHelpHomeFolder = 9305;
// The editor's own texts (9400-9419): refusals of what the file or the server could not
// hold, the browse button's name, and the tick box for desktop clients with its help.
inline constexpr int kNameNotASectionName = 9400;
inline constexpr int kUserListFull = 9401;     // one %d: the list's length limit
inline constexpr int kPasswordTooLong = 9402;  // one %d: the longest password
inline constexpr int kFolderTooLong = 9403;    // one %d: the longest home folder
inline constexpr int kBrowseFolder = 9404;     // the browse button's name and tooltip
inline constexpr int kDesktopFlag = 9405;      // the tick box of DESKTOP
inline constexpr int kHelpDesktopFlag = 9406;

// Server settings.
inline constexpr int kLogFileLabel = 9265;
inline constexpr int kLogLevelLabel = 9266;
inline constexpr int kLogLevelNone = 9267;
inline constexpr int kLogLevelFatal = 9268;
inline constexpr int kLogLevelInformational = 9269;
inline constexpr int kAddressLabel = 9270;
inline constexpr int kSpecificAddress = 9271;
inline constexpr int kSettingsGroup = 9272;
inline constexpr int kAutostart = 9273;
inline constexpr int kSettingsCaption = 9306;
inline constexpr int kAddressInvalid = 9307;
inline constexpr int kHelpSettingsDialog = 9308;
inline constexpr int kHelpLogFile = 9309;
inline constexpr int kHelpLogLevel = 9310;
inline constexpr int kHelpSpecificAddress = 9311;
inline constexpr int kHelpAutostart = 9312;
inline constexpr int kHelpAddress = 9313;
// The settings dialog's own fields (9430-9449): the port and the two time-outs, their
// help, and their refusals (two %d each: the lowest and the highest value).
inline constexpr int kPortLabel = 9430;
inline constexpr int kIdleTimeoutLabel = 9431;
inline constexpr int kDataTimeoutLabel = 9432;
inline constexpr int kHelpPort = 9433;
inline constexpr int kHelpIdleTimeout = 9434;
inline constexpr int kHelpDataTimeout = 9435;
inline constexpr int kPortOutOfRange = 9436;
inline constexpr int kIdleTimeoutOutOfRange = 9437;
inline constexpr int kDataTimeoutOutOfRange = 9438;
inline constexpr int kSettingsNotSaved = 9439;
inline constexpr int kLogFileEmpty = 9440;

// About box.
inline constexpr int kViewer = 400;
inline constexpr int kAboutNotice = 568;
inline constexpr int kTelephoneLabel = 572;
inline constexpr int kEmailLabel = 573;
inline constexpr int kWebLabel = 574;

// Main window: what the manager says of its own.
inline constexpr int kChangeNotSaved = 9420;
inline constexpr int kStoreReadOnly = 9421;
inline constexpr int kAccountListFull = 9422;

// Server control and the server log viewer (9450-9469).
inline constexpr int kServerLog = 9450;  // the button's name
inline constexpr int kHelpServerLog = 9451;
inline constexpr int kServerLogCaption = 9452;   // the viewer's window title
inline constexpr int kLoggingOff = 9453;         // LOG_LEVEL is NONE
inline constexpr int kLogFileMissing = 9454;     // one %s: the log file
inline constexpr int kLogFileUnreadable = 9455;  // one %s: the log file
inline constexpr int kProgramNotStarted = 9456;  // one %s: the server program
inline constexpr int kLogFileShown = 9457;       // one %s: the log file, above the text

// Every number above (the library error codes are listed by error_codes.h).
inline constexpr std::array kMessagesInUse{
    kLanguageCode,
    kMarker,
    kErrorCaption,
    kQuestionCaption,
    kCancel,
    kOk,
    kHelp,
    kConfigure,
    kTitleText,
    kAccountColumn,
    kFolderColumn,
    kAddUser,
    kRemoveUser,
    kEditUser,
    kAbout,
    kServerRunning,
    kServerStopped,
    kStartServer,
    kStopServer,
    kRemoveQuestion,
    kStopQuestion,
    kSettingsNotice,
    kHelpMainWindow,
    kHelpStartStop,
    kHelpStatus,
    kHelpExit,
    kHelpAccountList,
    kHelpConfigure,
    kHelpRemoveUser,
    kHelpEditUser,
    kHelpAddUser,
    kHelpHelp,
    kHelpAbout,
    kNameLabel,
    kFolderCreateFailed,
    kPasswordLabel,
    kAccountGroup,
    kListingStyleLabel,
    kHomeFolderLabel,
    kAddAccountCaption,
    kEditAccountCaption,
    kConfinedFlag,
    kReadOnlyFlag,
    kCreateFolderQuestion,
    kFolderEmpty,
    kPasswordEmpty,
    kNameTaken,
    kNameTooLong,
    kNameEmpty,
    kHelpAccountDialog,
    kHelpOk,
    kHelpCancel,
    kHelpConfinedFlag,
    kHelpReadOnlyFlag,
    kHelpName,
    kHelpPassword,
    kHelpListingStyle,
    kHelpHomeFolder,
    kNameNotASectionName,
    kUserListFull,
    kPasswordTooLong,
    kFolderTooLong,
    kBrowseFolder,
    kDesktopFlag,
    kHelpDesktopFlag,
    kLogFileLabel,
    kLogLevelLabel,
    kLogLevelNone,
    kLogLevelFatal,
    kLogLevelInformational,
    kAddressLabel,
    kSpecificAddress,
    kSettingsGroup,
    kAutostart,
    kSettingsCaption,
    kAddressInvalid,
    kHelpSettingsDialog,
    kHelpLogFile,
    kHelpLogLevel,
    kHelpSpecificAddress,
    kHelpAutostart,
    kHelpAddress,
    kPortLabel,
    kIdleTimeoutLabel,
    kDataTimeoutLabel,
    kHelpPort,
    kHelpIdleTimeout,
    kHelpDataTimeout,
    kPortOutOfRange,
    kIdleTimeoutOutOfRange,
    kDataTimeoutOutOfRange,
    kSettingsNotSaved,
    kLogFileEmpty,
    kViewer,
    kAboutNotice,
    kTelephoneLabel,
    kEmailLabel,
    kWebLabel,
    kChangeNotSaved,
    kStoreReadOnly,
    kAccountListFull,
    kServerLog,
    kHelpServerLog,
    kServerLogCaption,
    kLoggingOff,
    kLogFileMissing,
    kLogFileUnreadable,
    kProgramNotStarted,
    kLogFileShown,
};

}  // namespace kesto::msg
