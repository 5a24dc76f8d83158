// The door kit's public face: the session's records and globals (door/session.h), the replaceable
// hooks, and the operations on them: output, input, events, start-up and shutdown.
#pragma once

#include "door/session.h"

#include <cstdint>
#include <string>

// Replaceable hooks. The kit calls a hook only when it is set; every default is set at start.
using TDoorProc = void (*)();
extern void (*DoorOnCLP)(char AKey, const std::string& AValue);
extern TDoorProc DoorOnHangup;
extern TDoorProc DoorOnLocalLogin;
extern TDoorProc DoorOnStatusBar;
extern bool (*DoorOnSysopKey)(char AKey);
extern TDoorProc DoorOnTimeOut;
extern void (*DoorOnTimeOutWarning)(std::uint8_t AMinutes);
extern TDoorProc DoorOnTimeUp;
extern void (*DoorOnTimeUpWarning)(std::uint8_t AMinutes);
extern TDoorProc DoorOnUsage;

// Allowed-character sets for DoorInput.
extern const std::string DOOR_INPUT_CHARS_ALL;
extern const std::string DOOR_INPUT_CHARS_ALPHA;
extern const std::string DOOR_INPUT_CHARS_NUMERIC;
extern const std::string DOOR_INPUT_CHARS_FILENAME;

// True when no remote caller is connected.
bool DoorLocal();

// Output: every text reaches the local screen and, in a remote session, the caller.
void DoorWrite(const std::string& AText);
void DoorWriteLn();
void DoorWriteLn(const std::string& AText);
void DoorWriteCentered(const std::string& AText);
void DoorClrScr();
void DoorGotoX(std::uint8_t AX);
void DoorGotoXY(std::uint8_t AX, std::uint8_t AY);
void DoorCursorDown(std::uint8_t ACount);
void DoorCursorLeft(std::uint8_t ACount);
void DoorTextAttr(std::uint8_t AAttr);
void DoorTextColour(std::uint8_t AColour);
void DoorTextBackground(std::uint8_t AColour);
void DoorTextColourAndBlink(std::uint8_t AColour, bool ABlink);
// Writes a text file line by line; a failure is reported on screen and waits for a key.
void DoorDisplayFile(const std::string& AFileName);

// Input: keys from the local keyboard and the caller, merged into one stream.
bool DoorKeyPressed();
char DoorReadKey();
// One-line editor in a field of AVisibleLength columns at the cursor.
std::string DoorInput(const std::string& ADefaultText, const std::string& AAllowedCharacters,
                      char APasswordCharacter, std::uint8_t AVisibleLength, std::uint8_t AMaxLength,
                      std::uint8_t AAttr);

// The event pass: carrier, idle and time limits, warnings and the local status bar.
void DoorDoEvents();
std::int32_t DoorSecondsIdle();
std::int32_t DoorSecondsLeft();
bool DoorCarrier();
void DefaultOnHangup();
void DefaultOnTimeOut();
void DefaultOnTimeUp();
void DefaultOnStatusBar();

// ---- Start-up and shutdown -----------------------------------------------------------------

// Parses the command line, fills DoorDropInfo (command line, drop file or local log-in), opens
// the transport and, for a remote caller, arms the event pass and the exit guard and finds out
// the caller's terminal (DoorDetectTerminal). The usage screen, the start-up failures and a
// caller whose drop file says no ANSI end the program with exit code 0.
void DoorStartup(int argc, const char* const* argv);
// Opens the transport when there is one (a raw door socket when ARaw); true when the session can
// go on.
bool DoorOpenComm(bool ARaw = false);
// Closes the transport of a remote session (hanging up only when ADisconnect is set).
void DoorClose(bool ADisconnect);
// Releases the caller's connection without hanging up; the BBS takes the caller back.
void DoorShutdown();
// The exit guard, armed for a remote session and run by the shutdown (door/shutdown.h): light
// gray, cursor to the bottom-left corner on both screens, then the connection is released without
// hanging up. At most once.
void NewExitProc();
// Default DoorOnUsage: the usage screen on the local console, then exit code 0.
void DefaultOnUsage();
// Default DoorOnLocalLogin: asks the local user's name (Enter gives SYSOP).
void DefaultOnLocalLogin();
