// The command ids of the menus, the toolbar and the positioning menu. They sit
// below every subsystem because the machine link dispatches the positioning menu
// by id and the shell builds its menus from the same numbers.
#pragma once

namespace smt {

namespace cmd {
// Framework-style commands of the File, Edit, View and Help menus.
inline constexpr int FileNew = 1001, FileOpen = 1002, FileSave = 1003, FileSaveAs = 1004,
                     FilePrint = 1005, FilePrintPreview = 1006, FilePrintSetup = 1007,
                     FileMru1 = 1010,  // 1010..1013: the four recent files
                     AppExit = 1020, EditUndo = 1030, EditCut = 1031, EditCopy = 1032,
                     EditPaste = 1033, ViewToolbar = 1040, ViewStatusBar = 1041,
                     AppAbout = 1050;
// Settings menu and panels.
inline constexpr int SetBasic = 32841, DippingStation = 33291, FeedGroup = 32857,
                     SpeedSet = 32921, HighSpeedTemplate = 32864, MediumSpeedTemplate = 32862,
                     LowSpeedTemplate = 32863, CameraList = 32851, NozzleList = 32853,
                     SetPulse = 32843, OftenData = 32856, PackData = 33062, MarkData = 33125,
                     LampMachineSet = 33185, AutoFeed = 33100, AutoTransport = 33181,
                     VersionNumber = 33183, FirmwareUpdate = 33211, SoftwareUpdate = 33215;
// The cover-tape page, reached from the feeder menu until the placement strategy
// dialog that owns it exists.
inline constexpr int SetCover = 33400;
inline constexpr int Chinese = 32913, English = 32914, German = 33087;
inline constexpr int SingleHeadDrag = 33038, GroutGlueSMT = 33040, DoubleHeadFeed = 33041,
                     FourHeadFeed = 33042, DoubleGroutGlueXY = 33146, DoubleHeadCamera = 33175,
                     FourHeadGroutGlue = 33179, EightHead = 33187, PluginMachine = 33320,
                     DrillMachine = 33307;
// Toolbar.
inline constexpr int FeedListPanel = 32813, PartListPanel = 32891, PositioningDropDown = 32892,
                     SettingsDropDown = 32885;
// Positioning menu.
inline constexpr int ResetOrigin = 32909, CameraToVisualOrigin = 33105, CameraToPcbOrigin = 32903,
                     CameraToMark1 = 32904, CameraToMark2 = 32905, FourHeadToCamera2 = 33132,
                     MeasurementToVisualCamera1 = 33288;
// Per nozzle 1..8 (index n - 1).
inline constexpr int NozzleToThrowPosition[8] = {33117, 33121, 33122, 33123, 33206, 33207, 33208, 33209};
inline constexpr int NozzleToPcbOrigin[8] = {32993, 32998, 33070, 33076, 33194, 33195, 33196, 33197};
inline constexpr int NozzleToVisualCamera1[8] = {32995, 33000, 33072, 33078, 33198, 33199, 33200, 33201};
inline constexpr int NozzleToVisualCamera2[8] = {32994, 33002, 33074, 33080, 33202, 33203, 33204, 33205};
} // namespace cmd

} // namespace smt
