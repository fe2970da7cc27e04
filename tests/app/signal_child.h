#pragma once
// A child process for the signal test: started as "app_tests --signal-child
// FOLDER", it installs the window's signal handling, starts writing a file
// in FOLDER, says so with one byte on its standard output and waits for the
// signal. A fresh process, so that nothing of the test's threads is in it.

inline constexpr const char* kSignalChildFlag = "--signal-child";

int SignalChildMain(const char* folder);
