#pragma once

// The program: builds the static data, creates the application object, the main window and the
// hidden About box, and runs the message loop until the main window has closed. An error that
// escapes any of this is shown in a message box. Returns the exit code, always 0.
int RunApplication(int argc, char** argv);
