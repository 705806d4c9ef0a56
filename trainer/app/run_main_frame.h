#pragma once
// Start-up and shutdown of the main frame, shared by the program, its tests and its benchmark.
#include "command_line.h"

#include <memory>

class CMainFrame;

// Creates the frame with the saved layout and the options, and acts on the command line: opens
// the file (telling the user when it cannot) or starts a practice. Null when the program should
// end at once; *exitCode then holds its exit code.
std::unique_ptr<CMainFrame> CreateMainFrame(const CommandLine& commandLine, int* exitCode);

// Shows the frame as saved (maximised or not) and brings it to the front.
void ShowMainFrame(CMainFrame& frame);

// The whole life of the frame: create, show, run the event loop, save the options.
int RunMainFrame(const CommandLine& commandLine);

// Registration with the desktop and its exit code; a failure is told on stderr.
int RunRegistration(const CommandLine& commandLine, const QString& programPath);
