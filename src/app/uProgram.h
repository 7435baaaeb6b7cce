#pragma once
// Start-up and shutdown: the four windows are created in the order main,
// options, player, about, each once for the whole run, and destroyed in the
// reverse order after the message loop.

// Creates the four windows in order.
void CreateWindows();
// Destroys them in reverse order (each window-state storage writes its file)
// and clears the data folder.
void DestroyWindows();
// Closes the main window through its normal close path when the desktop ends
// the session or the process receives SIGTERM, SIGINT or SIGHUP.
void InstallSessionEndHandlers();
// The whole program: create, show the main window, run the loop, destroy.
int RunProgram(int argc, char** argv);
