#pragma once
// The server's message table: every text the operator sees, by 16-bit ID, Italian at the ID
// and English at the ID + 1000. Register error texts exist in Italian only, so in English their
// lookup gives the empty text.
#include <cstdint>
#include <string>

namespace velka::server {

// Offsets of the two languages, as LanguageOffset holds them.
inline constexpr int kItalianOffset = 0;
inline constexpr int kEnglishOffset = 1000;

// The single-byte text of an ID; the empty text for an ID the table does not hold, also for
// one outside the 16-bit range.
const std::string& LoadString(std::int64_t id);

// Text n in the current language: LoadString(language_offset + n).
const std::string& MessageText(int language_offset, std::int64_t n);

// IDs with a meaning of their own in the server.
namespace msg {
inline constexpr int Hide = 501;
inline constexpr int StateTitle = 502;
inline constexpr int ErrorTitle = 503;
inline constexpr int LastTicket = 504;
inline constexpr int TimeTitle = 505;
inline constexpr int NumberTitle = 506;
inline constexpr int Configure = 507;
inline constexpr int Send = 508;
inline constexpr int Exit = 509;
inline constexpr int RegisterOnPort = 510;
inline constexpr int FileTypeTitle = 511;
inline constexpr int PositionTitle = 512;
inline constexpr int CommandFiles = 513;
inline constexpr int UnsentFiles = 514;
inline constexpr int ChangeCommandFolder = 515;
inline constexpr int ChangeUnsentFolder = 516;
inline constexpr int SettingsCaption = 520;
inline constexpr int LanguageLabel = 521;
inline constexpr int FrequenceLabel = 522;
inline constexpr int LogSizeLabel = 523;
inline constexpr int TransmissionFrame = 524;
inline constexpr int PortLabel = 525;
inline constexpr int SpeedLabel = 526;
inline constexpr int FoldersFrame = 527;
inline constexpr int ChangeButton = 528;
inline constexpr int OkButton = 529;
inline constexpr int CancelButton = 530;
inline constexpr int DataDownloadFiles = 533;
inline constexpr int CannotWriteFile = 534;  // followed by the file's path
inline constexpr int NoPortLink = 535;
inline constexpr int AlreadyRunning = 550;  // looked up without the offset
inline constexpr int CannotStart = 551;     // looked up without the offset
inline constexpr int Idle = 554;
inline constexpr int CoverOpen = 555;
inline constexpr int CoverClosed = 556;
inline constexpr int PaperOut = 557;
inline constexpr int PaperReplaced = 558;
inline constexpr int Busy = 559;
inline constexpr int JobWaits = 562;      // a job that cannot start: its files cannot be written
inline constexpr int NotAnswering = 572;  // the register's port has gone
inline constexpr int GenericError = 70;   // the fall-back for a result code without text
// The detail line under 551: why the register could not be opened (open_failure.h).
inline constexpr int PortNotValid = 640;
inline constexpr int NoSuchDevice = 641;
inline constexpr int LinkToNothing = 642;
inline constexpr int EntryNamesNothing = 643;
inline constexpr int DeniedJoinGroup = 644;
inline constexpr int DeniedOwnerOnly = 645;
inline constexpr int HeldByProcess = 646;
inline constexpr int HeldByAnother = 647;
inline constexpr int NotSerialPort = 648;
inline constexpr int NoRegisterAnswers = 649;
inline constexpr int CannotOpenDevice = 650;
}  // namespace msg

}  // namespace velka::server
