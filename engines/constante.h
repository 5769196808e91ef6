// The operator's texts and the fixed words of scripts and card commands.
//
// Every text the operator can read, and every fixed command or script line,
// has its home here; code refers to these names instead of repeating literals.
// Texts are byte strings shown as they stand (letter case, blanks and the
// exclamation marks are part of them).
#pragma once

#include <cstddef>
#include <cstdint>

namespace constante {

// ---- Program and window -------------------------------------------------------------
inline constexpr char ProgramTitle[] = "Corvane Pelto Updater";
inline constexpr char ProgramVersion[] = "1.5.0.0";
inline constexpr char AboutCaptionFormat[] = "About %s";
inline constexpr char VersionFormat[] = "Version : %s";
inline constexpr char MakerLine[] = "Corvane Systems";
inline constexpr char DeviceIdUnknown[] = "(Device Id Unknown)";
inline constexpr char DeviceIdFormat[] = "Device ID : %s";

inline constexpr char CaptionStart[] = "START";
inline constexpr char CaptionStop[] = "STOP";
inline constexpr char CaptionQuit[] = "QUIT";
inline constexpr char ButtonStart[] = "Start";
inline constexpr char ButtonReadId[] = "Read Id";
inline constexpr char ButtonQuit[] = "Quit";

inline constexpr char MenuPort[] = "&Port";
inline constexpr char MenuComFormat[] = "Com &%s";
inline constexpr char MenuLan[] = "LAN/Setup";
inline constexpr char MenuMode[] = "&Mode";
inline constexpr char MenuAuto[] = "&Auto";
inline constexpr char MenuManual[] = "&Manual";
inline constexpr char MenuCheckUpdate[] = "&Check update at START";
inline constexpr char MenuAbout[] = "&About";
inline constexpr char MenuAboutUpdater[] = "&About Updater...";
// Asked before a window that is running an update closes.
inline constexpr char CloseStopsRun[] = "A run is in progress: closing stops it.";
// What each progress bar counts.
inline constexpr char BarOperation[] = "Operation";
inline constexpr char BarComponent[] = "Component";
inline constexpr char BarUpdate[] = "Update";

// ---- Sequencer messages ---------------------------------------------------------------
inline constexpr char IdlePrompt[] = "Click on button START to begin program operation";
inline constexpr char Synchronize[] = "Synchronize...";
inline constexpr char SwitchOnDevice[] = "Switch ON device while pushing the ENTER button";
inline constexpr char OperationCompleted[] = "Program operation completed";
inline constexpr char FileNotFound[] = " File not found !!!";
// After a name an operation line of a bundle gives: absolute, or ".." above the bundle's folder.
inline constexpr char NameOutsideUpdate[] = " is not a file of the update bundle: its lines may name only files inside it";
inline constexpr char SyntaxErrorLine[] = "Syntax Error in script file line : ";
inline constexpr char ErrorOpeningLan[] = "Error while opening LAN Device";
inline constexpr char ErrorOpeningPort[] = "Error while opening ";
// The serial device actually opened for the chosen COM port, after its name.
inline constexpr char OpenedDeviceFormat[] = " (%s)";
// The check of an update before the link opens.
inline constexpr char CheckFailed[] = "The update has %s problem(s): nothing was sent to the card";
inline constexpr char CheckMoreProblems[] = "... and %s more";
// Between the lines of a text for people (a message box, stderr, a log): never the protocol's CR LF.
inline constexpr char TextLineBreak[] = "\n";
// A failure that escaped a sequencer step without a text of its own.
inline constexpr char UnexpectedFailure[] = "Unexpected failure";

// Why a link failed and what to do, shown before the run ends or goes on.
// A serial device that could not be opened: the system's message, " : ", then one of these.
inline constexpr char SerialOpenReasonSeparator[] = " : ";
inline constexpr char SerialDeniedFormat[] =
    "the user may not open %s; the user must be in its group %s (sudo usermod -aG %s $USER, then log in again)";
inline constexpr char SerialAskAdministratorFormat[] =
    "the user may not open %s; ask the administrator for read and write access to it (a udev rule)";
inline constexpr char SerialInUseFormat[] = "%s is in use by another program; close that program or choose another port";
inline constexpr char SerialMissingFormat[] = "%s is not there; plug the adapter in or choose the device (%s)";
// The probe ran out: which link was probed, and how.
inline constexpr char NoAnswerSerialFormat[] = "No answer on %s at %s baud";
inline constexpr char NoAnswerLanFormat[] = "No answer from %s";
inline constexpr char NoTcpConnectionFormat[] = "No connection to %s: it was never accepted (%s)";
inline constexpr char NoTcpConnectionPending[] = "no reply yet";
// The card has sent nothing for a while during a run; the operator decides.
inline constexpr char CardSilentFormat[] = "No reply from the card for %s s: check the link, or %s";
// The card keeps sending, but nothing the run waits for: the text of a link that mangles every reply.
inline constexpr char CardTextNoReplyFormat[] = "The card sends text but no reply on %s: check the link";
// What each view of a run has for choosing a serial device and for stopping.
inline constexpr char HintChooseDeviceWindow[] = "Port menu, Serial device...";
inline constexpr char HintChooseDeviceCards[] = "Add serial devices...";
inline constexpr char HintChooseDeviceBatch[] = "--port, --list-ports";
inline constexpr char HintStopWindow[] = "press STOP";
// After a main script that is not there: how an update is opened.
inline constexpr char HintOpenUpdateWindow[] = "Open an update folder: File > Open update..., or --app-dir";
inline constexpr char HintOpenUpdateCards[] = "Open an update folder: File > Open update... before Several cards..., or --app-dir";
inline constexpr char HintOpenUpdateBatch[] = "Open an update folder: --app-dir DIR, or --app-dir UPDATE.zip for a bundle";
inline constexpr char HintStopBatch[] = "press Ctrl+C";

// The card probe of a run: each query gives the card this long (nominal timer
// milliseconds) and is repeated this many times at most.
inline constexpr std::uint32_t ProbeCountdownMs = 500;
inline constexpr std::uint16_t ProbeRepeats = 3;
// Index of the device query "?" in the link driver's variable commands.
inline constexpr int VarQueryIndex = 2;
// Written to the card variable UPDATER in this order, they hand the card over to its boot loader.
inline constexpr std::uint32_t UpdaterHandOverFirst = 1;
inline constexpr std::uint32_t UpdaterHandOverSecond = 254;
// The firmware's device query and the command that writes UPDATER (after the
// value in decimal), for a client that speaks the variable protocol without the
// link driver.
inline constexpr char VarDeviceQuery[] = "?";
inline constexpr char VarUpdaterWrite[] = "yU";
// Serial line speed of the variable phase and of the programming phase.
inline constexpr std::uint32_t VarPhaseBaud = 9600;
inline constexpr std::uint32_t RawPhaseBaud = 57600;

// ---- Script files and fixed script lines ------------------------------------------
inline constexpr char MainScriptName[] = "script.ini";
inline constexpr char ReadIdScriptName[] = "readid.ini";
inline constexpr char MotherboardFolder[] = "MB/";
inline constexpr char ExtFolder[] = "EXT/";
inline constexpr char BootOptionFile[] = "BOOT_EXT_OPTION.HEX";
inline constexpr char LineSync[] = "SYN";
inline constexpr char LineBootOption[] = "PB BOOT_EXT_OPTION.HEX";
inline constexpr char LineOptionPrefix[] = "OP ";
inline constexpr char LineClosing[] = "FI";
inline constexpr char Remark[] = "rem";
inline constexpr char PrefixMotherboard[] = "CM";
inline constexpr char PrefixComponent[] = "C";
// Component number of the motherboard ("CM"); the further components are the
// entries of ComponentFolders, numbered from 0 ("C0").
inline constexpr std::int32_t MotherboardComponent = 255;
inline constexpr const char* ComponentFolders[] = {ExtFolder};
// Component numbers inside a component script: the PSD banks, then the JTAG target.
inline constexpr unsigned BankComponents = 8;
inline constexpr unsigned JtagComponent = 8;
inline constexpr char PrefixVersion[] = "V";
inline constexpr char PrefixProgram[] = "P";

// ---- Settings file ------------------------------------------------------------------
inline constexpr char SettingsFile[] = "Updater.prm";
inline constexpr char KeyConType[] = "CON_TYPE";
inline constexpr char KeyComPort[] = "COM_PORT";
inline constexpr char KeyRemoteIp[] = "REMOTE_IP";
inline constexpr char KeyRemotePort[] = "REMOTE_PORT";
inline constexpr char KeyLocalPort[] = "LOCAL_PORT";
// Whether START checks the update first; written once it is off, or when the file has it.
inline constexpr char KeyCheckUpdate[] = "CHECK_UPDATE";
inline constexpr char CheckUpdateOn[] = "YES";
inline constexpr char CheckUpdateOff[] = "NO";
inline constexpr char ConTypeNone[] = "NONE";
inline constexpr char ConTypeRs232[] = "RS232";
inline constexpr char ConTypeUdp[] = "UDP";
inline constexpr char ConTypeTcp[] = "TCP";
inline constexpr char ComPortNotApplicable[] = "NA";
inline constexpr char DefaultComPort[] = "COM1";
inline constexpr char DefaultRemoteIp[] = "192.168.0.10";
inline constexpr char DefaultRemotePort[] = "10500";
inline constexpr char DefaultLocalPort[] = "10500";
// A key "COM1" to "COM9" names the device opened for that port; without it COMn is this prefix and n - 1.
inline constexpr char ComPortPrefix[] = "COM";
inline constexpr char SerialDevicePrefix[] = "/dev/ttyS";
inline constexpr char SettingsBadValue[] = "Bad value in Updater.prm, default used : %s";
inline constexpr char SettingsNotSaved[] = "Settings not saved : %s";
// Why an "Updater.prm" that could not be read when the program started is not replaced.
inline constexpr char SettingsKeptUnread[] = "it could not be read and is left as it was";
// The folder of the run reports; a relative value is relative to the program's folder.
inline constexpr char KeyReportDir[] = "REPORT_DIR";

// The serial devices present, in the Port menu's dialog and "--list-ports"; a
// COM port item shows the device it opens.
inline constexpr char MenuSerialDevice[] = "&Serial device...";
inline constexpr char SerialDeviceCaptionFormat[] = "Serial device for %s";
inline constexpr char NoSerialDevice[] = "No serial device found";
inline constexpr char NoComPort[] = "-";
inline constexpr char ColumnPort[] = "Port";
inline constexpr char ColumnDevice[] = "Device";
inline constexpr char ColumnDescription[] = "Description";
inline constexpr char ColumnManufacturer[] = "Manufacturer";
inline constexpr char ColumnSerialNumber[] = "Serial number";
// The window's size and position, "x,y,width,height".
inline constexpr char KeyWindow[] = "WINDOW";
// The update folder last opened in the window, kept per user.
inline constexpr char KeyUpdateFolder[] = "UPDATE_FOLDER";
// Where "Updater.prm" is kept when the program's folder cannot hold it, below
// $XDG_CONFIG_HOME (or ~/.config).
inline constexpr char UserSettingsFolder[] = "corvane-pelto-updater";
inline constexpr char MenuFile[] = "&File";
inline constexpr char MenuOpenUpdate[] = "&Open update...";
inline constexpr char MenuQuit[] = "&Quit";
inline constexpr char MenuLastRun[] = "&Last run...";
// A COM port whose device is not on this machine stays selectable, marked.
inline constexpr char MenuDeviceAbsent[] = " (absent)";
// The status line that names the update a window opened.
inline constexpr char UpdateOpenedFormat[] = "Update opened : %s";
inline constexpr char OpenUpdateCaption[] = "Open update: a bundle, or the main script of a folder";
inline constexpr char OpenUpdateFilter[] = "Updates (*.zip *.ini);;All files (*)";
// A chosen file with this suffix is a folder's script: the folder is the update.
inline constexpr char ScriptSuffix[] = "ini";

// ---- Dialogs ------------------------------------------------------------------------
inline constexpr char CompSelCaption[] = "Component Selection";
inline constexpr char CompSelMotherboardTab[] = "Motherboard";
inline constexpr char CompSelGroup[] = "Select Component to Program";
inline constexpr char CompSelMcu[] = "MCU";
inline constexpr char CompSelProm1[] = "PROM 1";
inline constexpr char CompSelProgramMotherboard[] = "Program Motherboard";
inline constexpr char CompSelExtTab[] = "Ext";
inline constexpr char CompSelProgramExt[] = "Program Ext";
inline constexpr char ButtonOk[] = "OK";

inline constexpr char LanCaption[] = "LAN Setup";
inline constexpr char LanConnectionMode[] = "Connection Mode";
inline constexpr char LanTcp[] = "Tcp";
inline constexpr char LanUdp[] = "Udp";
inline constexpr char LanLocalPort[] = "Local Port :";
inline constexpr char LanRemoteAddress[] = "Remote IP Address :";
inline constexpr char LanRemotePort[] = "Remote Port :";
inline constexpr char LanApply[] = "Apply";
inline constexpr char LanCancel[] = "Cancel";
inline constexpr char LanBadLocalPort[] = "Choose a Local Port <0-65535>";
inline constexpr char LanBadRemotePort[] = "Choose a Remote Port <0-65535>";
inline constexpr char LanBadAddress[] = "Remote IP address not Valid";

// ---- Device identity ----------------------------------------------------------------
inline constexpr char DefaultOptionCode[] = "0000";
// The option code written at the end of a run, by the device identifier the boot loader reported.
struct OptionCodeRow {
    std::uint16_t DeviceId;
    std::uint16_t OptionCode;
};
inline constexpr OptionCodeRow OptionCodeTable[] = {{0xAAAA, 0x0000}};

// ---- Batch mode ---------------------------------------------------------------------
inline constexpr char UpdaterUsage[] =
    "usage: corvane-updater [--app-dir DIR|BUNDLE] [--trusted-key FILE]...\n"
    "                       [--batch [--read-id] [--manual LIST] [--timeout SECONDS] [--no-check]\n"
    "                       [--report-dir DIR] [--json]] [--port PORT]... [--start] [SCRIPT]\n"
    "       corvane-updater [--app-dir DIR] --list-ports\n"
    "       corvane-updater --find RANGE [--find-port PORT]\n"
    "       corvane-updater --version\n"
    "  SCRIPT             the main script (default: script.ini in the program's folder);\n"
    "                     with a bundle, the name of a file within it\n"
    "  --app-dir DIR      the folder used as the program's folder (scripts, MB/, EXT/, Updater.prm)\n"
    "  --app-dir BUNDLE   an update bundle (.zip), checked and unpacked into a private folder first\n"
    "  --trusted-key FILE a minisign public key that may sign bundles, besides the *.pub files of\n"
    "                     /etc/corvane-pelto-updater/trusted-keys/ and ~/.config/corvane-pelto-updater/trusted-keys/\n"
    "  --batch            run the update without a window, messages on stdout\n"
    "  --read-id          run readid.ini instead of the main script (batch)\n"
    "  --manual LIST      Manual mode with exactly these components: MB,MCU,PROM1 (batch)\n"
    "  --timeout SECONDS  stop when the card has sent nothing for that long (batch; default 60, 0: no limit)\n"
    "  --no-check         do not check the update before the link opens (batch)\n"
    "  --port PORT        the card's link for this run, Updater.prm untouched: COM1 to COM9,\n"
    "                     a device path, tcp://HOST:PORT or udp://HOST:PORT[?local=N]; several\n"
    "                     --port options update several cards at once; without --batch they open\n"
    "                     the window of several cards\n"
    "  --start            start every card as soon as the window of several cards opens (with --port)\n"
    "  --report-dir DIR   the folder of the run reports (default: reports in the program's folder) (batch)\n"
    "  --json             one JSON object per line on stdout for each event of each card (batch)\n"
    "  --list-ports       list the serial devices present and the COM port each one is\n"
    "  --find RANGE       ask every address of RANGE (A.B.C.D/N, N 22 to 32, or A.B.C.D-E) over UDP\n"
    "                     for its device type and list the cards that answer\n"
    "  --find-port PORT   the card port --find asks (default 10500)\n"
    "  --version          the package version\n"
    "  --help             this text\n";
inline constexpr char UsageWindowOnly[] = "%s works in the window only, not with --batch";
inline constexpr char UsageStartNeedsPort[] = "--start needs --port";
inline constexpr char UsageFindPortAlone[] = "--find-port works with --find only";
inline constexpr char UsageUnknownOption[] = "unknown option: %s";
inline constexpr char UsageMissingValue[] = "missing value after %s";
inline constexpr char UsageBadManual[] = "--manual takes a list of MB, MCU, PROM1: %s";
inline constexpr char UsageBadTimeout[] = "--timeout takes a whole number of seconds (0: no limit): %s";
inline constexpr char UsageBatchOnly[] = "%s works in batch mode only";
inline constexpr char UsageTwoScripts[] = "more than one script: %s";
inline constexpr char UsageErrorFormat[] = "corvane-updater: %s\n";
inline constexpr char UsageBadPort[] =
    "--port takes COM1 to COM9, a device path, tcp://HOST:PORT or udp://HOST:PORT[?local=N]: %s";
inline constexpr char UsagePortTwice[] = "the same card twice: %s";
inline constexpr char UsageUdpLocalPortTwice[] = "two UDP cards on one local port: %s";
inline constexpr char ManualMotherboard[] = "MB";
inline constexpr char ManualMcu[] = "MCU";
inline constexpr char ManualProm1[] = "PROM1";
inline constexpr char BatchTimedOut[] = "No reply from the card for %s s";
inline constexpr char BatchStopped[] = "Stopped by signal %s";
inline constexpr char ProgressOverall[] = "Overall ";
inline constexpr char ProgressOperation[] = "Operation ";
inline constexpr char ProgressTimeLeft[] = "%s left";
// The summary of a batch run of several cards: its heading and results.
inline constexpr char SummaryPort[] = "PORT";
inline constexpr char SummaryDevice[] = "DEVICE ID";
inline constexpr char SummaryResult[] = "RESULT";
inline constexpr char SummaryDuration[] = "DURATION";
inline constexpr char SummaryLines[] = "LINES SENT";
inline constexpr char SummaryRetries[] = "RETRANSMISSIONS";
inline constexpr char SummaryNoise[] = "NOISE DROPPED";
inline constexpr char SummaryMessage[] = "MESSAGE";
inline constexpr char SummaryCompleted[] = "completed";
inline constexpr char SummaryFailed[] = "failed";
inline constexpr char SummaryStopped[] = "stopped";

// ---- Engine status messages (Info) ------------------------------------------------
inline constexpr char InfoReset[] = "Reset";
inline constexpr char InfoStarting[] = " Starting ";
inline constexpr char InfoPingCard[] = "Ping Card ";
inline constexpr char InfoPingOk[] = "Ping OK";
inline constexpr char InfoPingError[] = "Ping Error";
inline constexpr char InfoVerifyDeviceType[] = "Verify Device Type";
inline constexpr char InfoBootChecksum[] = "Boot Checksum : ";
inline constexpr char InfoDeviceIdFormat[] = "Device ID : %s";
inline constexpr char InfoEraseExtendedBoot[] = "Erase Extended Boot";
inline constexpr char InfoUploadExtendedBoot[] = "Upload Extended Boot";
inline constexpr char InfoVerifyChecksum[] = "Verify Checksum";
inline constexpr char InfoEraseBank[] = "Erase Bank";
inline constexpr char InfoUploadBank[] = "Upload Bank";
inline constexpr char InfoVerifyBank[] = "Verify Bank";
inline constexpr char InfoExtractMcuId[] = "Extract MCU ID";
inline constexpr char InfoIdNumber[] = "ID Number : ";
inline constexpr char InfoExtractJtagIds[] = "Extract JTAG Devices ID";

// Routine step names that the status list leaves out.
inline constexpr char InfoErase[] = "Erase";
inline constexpr char InfoUpload[] = "Upload";
inline constexpr char InfoOperationBypassed[] = "Operation Bypassed";
inline constexpr char InfoUpdatingProm[] = "Updating Prom Devices";
inline constexpr char InfoEndUpdate[] = "End Update";
inline constexpr const char* RoutineStepNames[] = {
    InfoErase,       InfoUpload,          InfoVerifyChecksum, InfoReset,
    InfoEraseExtendedBoot, InfoUploadExtendedBoot, InfoEraseBank, InfoUploadBank,
    InfoVerifyBank,  InfoOperationBypassed, InfoUpdatingProm,  InfoStarting,
    InfoPingOk,      InfoPingError,       InfoEndUpdate,
};

// ---- Engine error messages (ReportError) ------------------------------------------
inline constexpr char ErrInstructionUnknown[] = "Instruction unknown";
inline constexpr char ErrWritingVersion[] = "Error while writing version number !!!";
inline constexpr char ErrReadingVersion[] = "Error while reading version number !!!";
inline constexpr char ErrErasing[] = "Error while erasing !!!";
inline constexpr char ErrBootFileEmpty[] = "Boot File Empty !!!";
inline constexpr char ErrWriting[] = "Error while writing!!!";
inline constexpr char ErrChecksum[] = "Checksum Error";
inline constexpr char ErrTooManyRetries[] = "Too Many Transmission Error !!!";
inline constexpr char ErrBadDeviceType[] = "Bad type of device !!!";
inline constexpr char ErrUpdateNotAllowed[] = "Update Not Allowed !!!";
inline constexpr char ErrBankFileEmpty[] = "Keyb File Empty !!!";
inline constexpr char ErrEffectFileEmpty[] = "Effect File Empty !!!";
inline constexpr char ErrEffectFileLine[] = "Error in Effect file line : ";
inline constexpr char ErrExecutingEffectLine[] = "Error while executing Effect file line : ";
// An effect file that exists but cannot be read: when it is opened (followed by
// its path) and part-way through a play (followed by the line number).
inline constexpr char ErrReadingEffectFile[] = "Error while reading Effect file : ";
inline constexpr char ErrReadingEffectLine[] = "Error while reading Effect file line : ";
// Selector of the JTAG chain in the "D", "P" and "F" operations.
inline constexpr char JtagSelector = '8';

// Operation lines whose arguments the card check engine cannot use.
inline constexpr char ErrMissingComponentNumber[] = "Missing component number !!!";
inline constexpr char ErrMissingCardNumber[] = "Missing card number !!!";
inline constexpr char ErrBadCardNumber[] = "Bad card number : %s";
inline constexpr char ErrBadWaitDuration[] = "Bad wait duration : %s";
// The card stores version, user version and option texts of exactly VersionReplyLength characters.
inline constexpr char ErrVersionLength[] = "Version is not 4 characters : %s";
inline constexpr char ErrOptionLength[] = "Option code is not 4 characters : %s";

// ---- Card commands and replies in the programming phase ------------------------------
inline constexpr char ReplyAccepted = '.';
inline constexpr char ReplyFailed = 'X';
inline constexpr char ReplyUnknown = 'I';
inline constexpr char ReplyRepeat = 'R';
inline constexpr char ReplyEscape = '\x1B';
inline constexpr char LineEnd[] = "\r\n";
// The bytes that can begin a reply each kind of wait accepts; any other byte in
// front of the reply is line noise and is dropped.
inline constexpr char RepliesSync[] = {ReplyAccepted, '\0'};
inline constexpr char RepliesAckOrFailed[] = {ReplyAccepted, ReplyFailed, '\0'};
inline constexpr char RepliesUpload[] = {ReplyAccepted, ReplyFailed, ReplyRepeat, '\0'};
inline constexpr char RepliesPing[] = {ReplyAccepted, ReplyFailed, ReplyUnknown, '\0'};

inline constexpr char CmdSyncProbe[] = "%";
inline constexpr char CmdBootUpload[] = "PB";
inline constexpr char CmdReset[] = "RS";
inline constexpr char CmdNp[] = "NP";
inline constexpr char CmdFinish[] = "FI";
inline constexpr char CmdFy[] = "FY";
inline constexpr char CmdUserVersion[] = "UV";
inline constexpr char CmdOption[] = "OP";
inline constexpr char CmdVersionWrite[] = "V";
inline constexpr char CmdVersionTest[] = "T";
inline constexpr char CmdPing[] = "M";
inline constexpr char CmdProgram[] = "P";
inline constexpr char CmdIdentify[] = "D";
inline constexpr char CmdFunction[] = "F";
inline constexpr char EndOfFileRecord[] = ":00000001FF";

// Device types the card firmware reports and the boot loader accepts, offered in this order.
inline constexpr std::uint16_t DeviceTypeCodes[] = {0x0039, 0x003A};

// The letter after "P" (blanks between allowed) that makes a line a boot upload, not a bank line.
inline constexpr char BootUploadLetter[] = "B";
// Bank digits of the PSD flash run from '0' to this one.
inline constexpr char HighestBankDigit = '7';

// Replies that carry data: a fixed number of characters, then ".".
inline constexpr std::size_t VersionReplyLength = 4;
inline constexpr std::size_t IdentificationReplyLength = 8;  // boot checksum, then device identifier
inline constexpr std::size_t McuIdReplyLength = 2;
// The boot loader reports its checksum this much above the value shown to the operator.
inline constexpr std::uint16_t BootChecksumOffset = 0x6000;

// Image ranges the card sums to verify an upload, and the address of the record that carries the sum.
inline constexpr std::uint16_t ExtendedBootFirst = 0x4000;
inline constexpr std::uint16_t ExtendedBootLast = 0x5FFF;
inline constexpr std::uint16_t LowBankFirst = 0x0000;  // bank 0
inline constexpr std::uint16_t LowBankLast = 0x7FFF;
inline constexpr std::uint16_t HighBankFirst = 0x8000;  // banks 1 to 7
inline constexpr std::uint16_t HighBankLast = 0xFFFF;
inline constexpr std::uint16_t ChecksumRecordAddress = 0x0000;

// Keywords of script operation lines that are not card commands.
inline constexpr char KeywordPrompt[] = "prompt";
inline constexpr char KeywordWait[] = "wait";

// ---- Checks before a run and effect-file conversion -----------------------------------
// The firmware's replies in the variable phase: a name, the value in decimal, CR LF.
inline constexpr char VarDeviceReply[] = "DEV";
inline constexpr char VarUpdaterReply[] = "UPD";
inline constexpr char VarReplyLineEnd[] = "\r\n";

// What a check of an update folder finds before a run (each after FILE:LINE).
inline constexpr char PlanHexNotHex[] = "HEX record holds characters other than upper-case hex digits";
inline constexpr char PlanHexLength[] = "HEX record length does not match its count of %s bytes";
inline constexpr char PlanHexChecksum[] = "HEX record checksum is wrong, it should be %s";
inline constexpr char PlanHexType[] = "HEX record of unknown type %s";
inline constexpr char PlanHexOutside[] = "HEX data at %s is outside %s, the area this file programs";
inline constexpr char PlanHexOverlap[] = "HEX data at %s was already written by line %s";
inline constexpr char PlanHexAfterEnd[] = "HEX data record after the end-of-file record";
// A command letter whose component, bank or card character is not a hexadecimal digit.
inline constexpr char PlanNotHexDigit[] = "%s followed by '%s', not a hexadecimal digit";
// A line no engine takes: the run's own message, the line as written, and
// what is wrong with it when that is known.
inline constexpr char PlanSyntaxErrorQuote[] = "%s \"%s\"";
inline constexpr char PlanSyntaxErrorWhy[] = "%s \"%s\": %s";
// A longer line is quoted up to this many characters, then "...".
inline constexpr std::size_t PlanQuoteMaxChars = 60;
inline constexpr char PlanQuoteCut[] = "...";
// The letters that a component, bank or card character follows.
inline constexpr const char* DigitCommandLetters[] = {CmdVersionWrite, CmdVersionTest, CmdProgram, PrefixComponent};
inline constexpr char PlanChecksumDiffers[] = "Checksum %s given, the image sums to %s";

// Why a vendor SVF statement has no effect-file form (after FILE:LINE).
inline constexpr char SvfUnknownStatement[] = "%s: the card has no such statement";
inline constexpr char SvfUnreadable[] = "cannot read the statement : %s";
inline constexpr char SvfNoEnd[] = "statement without its \";\"";
inline constexpr char SvfHeaderTrailer[] = "%s: the card has no header or trailer bits";
inline constexpr char SvfScanTooLong[] = "scan of %s bits, the card takes at most %s";
// A scan without TDI repeats the TDI of the scan of its kind before it, when that one is of its length.
inline constexpr char SvfNoTdiFirst[] = "%s without TDI, and no %s before it whose TDI it could repeat";
inline constexpr char SvfNoTdiLength[] = "%s of %s bits without TDI, and the %s before it is of %s bits";
inline constexpr char SvfHexTooLong[] = "%s holds more bits than the scan";
inline constexpr char SvfBadHex[] = "not hex digits : %s";
inline constexpr char SvfBadNumber[] = "not a number : %s";
inline constexpr char SvfBadState[] = "not a TAP state : %s";
inline constexpr char SvfNoFrequency[] = "RUNTEST in seconds, and no FREQUENCY to count them in TCK (--frequency HZ)";
inline constexpr char SvfSystemClock[] = "RUNTEST in SCK, the card clocks TCK only";
inline constexpr char SvfWaitTooLong[] = "RUNTEST of %s TCK, the card counts at most 2147483647";
inline constexpr char SvfTrstOn[] = "TRST ON: the card has no TRST line";
inline constexpr char SvfCardRefuses[] = "the card cannot take : %s";
// ---- Run reports ----------------------------------------------------------------------
// The folder of the reports, in the program's folder unless the settings or the command line name another.
inline constexpr char ReportFolder[] = "reports";
// What stopped a report from being written (its folder or file, then the system's reason); the run goes on.
inline constexpr char ReportNotWritten[] = "Run report not written : %s";
inline constexpr char ReportReasonSeparator[] = " : ";
inline constexpr char ReportNoFreeName[] = "every name for this run's report is taken";
inline constexpr char ReportDeviceUnknown[] = "unknown";
inline constexpr char ReportTcpScheme[] = "tcp://";
inline constexpr char ReportUdpScheme[] = "udp://";
// Results of a run and of each line, and why a component was skipped.
inline constexpr char ReportCompleted[] = "completed";
inline constexpr char ReportFailed[] = "failed";
inline constexpr char ReportStopped[] = "stopped";
inline constexpr char ReportLineOk[] = "ok";
inline constexpr char ReportUpToDate[] = "up to date";
inline constexpr char ReportUnchecked[] = "unchecked";
inline constexpr char ReportCardAbsent[] = "card absent";
// What a run did, in the batch summary and the window's "Last run...".
inline constexpr char PartBankFormat[] = "bank %s";
inline constexpr char PartBoot[] = "boot";
inline constexpr char PartPromFormat[] = "PROM %s";
inline constexpr char AccountProgrammed[] = "Programmed: ";
inline constexpr char AccountSkipped[] = "Skipped: ";
inline constexpr char AccountVersionsRead[] = "Versions read: ";
inline constexpr char AccountVersionsWritten[] = "Versions written: ";
inline constexpr char AccountNothingProgrammed[] = "Nothing was programmed";
inline constexpr char AccountEverySkippedFormat[] = "Nothing was programmed: every component was skipped (%s)";
// The run's own closing lines program the extended boot even so.
inline constexpr char AccountOnlyFormat[] = "Only %s programmed: every component was skipped (%s)";
inline constexpr char AccountModeAuto[] = "Auto: ";
inline constexpr char AccountModeManual[] = "Manual: ";
inline constexpr char AccountUpToDate[] = "up to date";
inline constexpr char AccountNotSelected[] = "not selected";
inline constexpr char AccountCardAbsent[] = "card absent";
inline constexpr char AccountNone[] = "none";
// A component the script names by its number ("0" for the banks, "8"...).
inline constexpr char AccountComponentFormat[] = "component %s";
inline constexpr char AccountListSeparator[] = ", ";
inline constexpr char LastRunNone[] = "No run has left a report yet";
inline constexpr char LastRunCaption[] = "Last run";
inline constexpr char ReportModeAuto[] = "auto";
inline constexpr char ReportModeManual[] = "manual";
// The summary that ends the text log.
inline constexpr char LogSummary[] = "---- Summary";
inline constexpr char LogProgram[] = "Program     : ";
inline constexpr char LogStart[] = "Start       : ";
inline constexpr char LogEnd[] = "End         : ";
inline constexpr char LogScript[] = "Script      : ";
inline constexpr char LogPort[] = "Port        : ";
// The update bundle of the run: its file and SHA-256, the update's name, the signer.
inline constexpr char LogBundle[] = "Bundle      : ";
inline constexpr char LogBundleSha256[] = "SHA-256     : ";
inline constexpr char LogUpdateName[] = "Update name : ";
inline constexpr char LogSigner[] = "Signed by   : ";
inline constexpr char LogSignerUntrusted[] = " (no trusted key set up: its origin was not checked)";
inline constexpr char LogUnsigned[] = "Signed by   : nobody (not signed: its origin was not checked)";
inline constexpr char LogDevice[] = "Device      : type %s";
inline constexpr char LogDeviceId[] = ", ID ";
inline constexpr char LogBootChecksum[] = ", boot checksum ";
inline constexpr char LogVersionRead[] = "Read        : ";
inline constexpr char LogVersionWritten[] = "Written     : ";
inline constexpr char LogSkipped[] = "Skipped     : ";
inline constexpr char LogLines[] = "Lines run   : ";
inline constexpr char LogRetransmissions[] = ", retransmissions ";
inline constexpr char LogNoise[] = ", noise bytes dropped ";
inline constexpr char LogResult[] = "Result      : ";

// ---- Several cards in one window ----------------------------------------------------
inline constexpr char MenuSeveralCards[] = "Se&veral cards...";
inline constexpr char CardsCaptionFormat[] = "%s : several cards";
inline constexpr char MenuCards[] = "&Cards";
inline constexpr char MenuAddSerial[] = "Add &serial devices...";
inline constexpr char MenuAddLan[] = "Add &LAN card...";
inline constexpr char MenuFindCards[] = "&Find cards...";
inline constexpr char MenuRemoveCard[] = "&Remove";
inline constexpr char MenuStartCard[] = "&Start this card";
inline constexpr char MenuStopCard[] = "S&top this card";
inline constexpr char MenuStatusList[] = "Status &list...";
inline constexpr char MenuClose[] = "&Close";
inline constexpr char ColumnDeviceId[] = "Device ID";
inline constexpr char ColumnStep[] = "Step";
inline constexpr char ColumnTimeLeft[] = "Time left";
inline constexpr char ColumnResult[] = "Result";
// A card's state in its row until it has a result.
inline constexpr char CardIdle[] = "idle";
inline constexpr char CardRunning[] = "running";
inline constexpr char NoDeviceId[] = "-";
inline constexpr char SerialChecklistCaption[] = "Add serial devices";
inline constexpr char StatusListCaptionFormat[] = "Status list : %s";
inline constexpr char SummaryCaption[] = "Summary";
inline constexpr char ButtonCopy[] = "&Copy";
inline constexpr char ButtonFind[] = "&Find";
inline constexpr char ButtonAdd[] = "&Add";
// Why a card was not added: the same card twice, or two UDP cards on one local port.
inline constexpr char CardNotAdded[] = "Card not added : %s";
// The set of cards, kept in "Updater.prm" as CARD1, CARD2 ... with the --port text of each.
inline constexpr char KeyCardPrefix[] = "CARD";
inline constexpr char CardSettingBad[] = "Bad value in Updater.prm, card left out : %s";

// ---- Finding cards on the LAN -------------------------------------------------------
inline constexpr char FindCaption[] = "Find cards";
inline constexpr char FindRangeLabel[] = "Addresses (A.B.C.D/N or A.B.C.D-E) :";
inline constexpr char FindPortLabel[] = "Card port :";
inline constexpr char FindAskFormat[] =
    "Send the device query \"?\" over UDP to port %s of %s address(es), %s? Nothing else is sent to the cards.";
inline constexpr char FindProgressFormat[] = "Queried %s of %s address(es)...";
inline constexpr char FindResultFormat[] = "%s card(s) found";
// A card found: the --port text that reaches it, then its device type.
inline constexpr char FoundCardFormat[] = "%s  DEV %s";
inline constexpr char FindNoCard[] = "No card answered on %s address(es)";
inline constexpr char FindNoSocket[] = "No UDP socket could be opened for the search";
inline constexpr char FindSendFailed[] = "Some queries could not be sent : %s";
inline constexpr char FindBadRange[] =
    "the addresses are A.B.C.D/N with N from 22 to 32, or A.B.C.D-E, at most 1024 of them: %s";
inline constexpr char FindBadPort[] = "the card port is 1 to 65535: %s";

}  // namespace constante
