#pragma once

#include <string>

// The access password of a Set, never taken from the command line, where every user of the
// machine could read it in the process list. The first line is read (without its line break) byte
// by byte with the system's read call, into a buffer reserved once, so that no library buffer and
// no reallocation keeps a copy; the caller wipes the result (SecureWipe.h). Raises OvException
// when the source cannot be read.

// From standard input; on a terminal after a prompt on standard error, with the echo off.
void ReadPasswordFromStdin(std::string& password);

// From the file.
void ReadPasswordFromFile(const std::string& path, std::string& password);
