// Program entry: signal and session hooks, working directory, parameter words, role preset,
// and the start of the GUI and worker threads.
#pragma once

#include <csignal>
#include <cstddef>
#include <glib.h>

// The whole start-up of main; never returns.
[[noreturn]] void mt_main(int argc, char** argv);
gpointer mt_gtkthread(gpointer par);

// SIGHUP/SIGTERM handler. It only hands the signal to the initial thread (a handler may not
// write files), which logs it and requests the orderly end.
void endall(int signo, siginfo_t* info, void* context);
// What a received SIGHUP or SIGTERM leads to: the log line and the end request.
void mt__signalreceived(int signo, int code, int pid);

// Pure parts of the start-up.
enum mt__dirkind { mt__DIR_NONE, mt__DIR_SHARED, mt__DIR_HOME, mt__DIR_EXECUTABLE };
bool mt__systembindir(const char* dir);
// Chooses the working directory from the program path. sharedfirstbyte is the first byte of
// "/usr/share/mavlyn/mavlyn.ini", or -1 when it could not be read.
mt__dirkind mt__datadirectory(char* out, size_t n, const char* argv0, const char* home,
                              int sharedfirstbyte);
// The path of a "DIR=" argument (leading blanks skipped), or null for another argument.
const char* mt__dirparameter(const char* arg);
// For an INSTANCE word: its key shift 0..9 and, in *rest, the text behind '=' and blanks.
// -1 for another word.
int mt__instanceshift(const char* arg, const char** rest);
// Role preset by program name or first argument: 40 CONTROL, 60 PROFILE, 90 removal, else 0.
int mt__presetrole(const char* argv0, const char* argv1);
// Applies the parameter words NOSPLASH, MUTE, SILENTINSTALL, STARTTOGGLE and INSTANCE.
void mt__parameterwords(int argc, char** argv);
